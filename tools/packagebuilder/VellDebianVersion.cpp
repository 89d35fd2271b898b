#include "VellDebianVersion.h"

#include <QRegularExpression>

bool VellDebianVersion::isValid(const QString &version, QString *errorText)
{
    // A hyphen in the upstream part needs a revision after it; a colon needs an epoch.
    static const QRegularExpression syntax(
        QStringLiteral("^(?:[0-9]+:)?[0-9][A-Za-z0-9.+~]*(?:-[A-Za-z0-9.+~-]*[A-Za-z0-9.+~])?$"));
    if (syntax.match(version).hasMatch()) {
        return true;
    }
    if (errorText) {
        *errorText = version.isEmpty()
            ? QStringLiteral("the version is empty")
            : QStringLiteral("\"%1\" is not a version: [epoch:]upstream[-revision], the "
                             "upstream part starting with a digit")
                  .arg(version);
    }
    return false;
}
