#ifndef VELLUPDATEFIELDS_P_H
#define VELLUPDATEFIELDS_P_H

#include "Update.h"

#include <QString>
#include <QUrl>

#include <string>

// An update's byte-string fields as the engine's classes use them: names and
// links cross over from the protocol records as Latin-1.
namespace VellUpdateFields {

inline QString fromLatin1(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), int(bytes.size()));
}

inline QString nameOf(const Update *update)
{
    return fromLatin1(update->getName());
}

inline QUrl linkOf(const Update *update)
{
    return QUrl(fromLatin1(update->getLink()));
}

} // namespace VellUpdateFields

#endif // VELLUPDATEFIELDS_P_H
