#ifndef VELLARCHIVECASTEXCEPTION_H
#define VELLARCHIVECASTEXCEPTION_H

#include "msgvault_export.h"

#include <exception>

namespace VellArchive {

/**
 * Thrown by VellArchiveModule::strToInt when a database text is not a decimal
 * integer (a damaged row). It never leaves the module: every reader catches it
 * and answers its empty result.
 */
class MSGVAULT_EXPORT VellArchiveCastException : public std::exception
{
public:
    ~VellArchiveCastException() override;
};

} // namespace VellArchive

#endif // VELLARCHIVECASTEXCEPTION_H
