#ifndef VELLDEBIANVERSION_H
#define VELLDEBIANVERSION_H

#include <QString>

/**
 * The syntax of a Debian package version, [epoch:]upstream[-revision], the
 * form the updater orders component versions by. The epoch is digits; the
 * upstream part starts with a digit and holds letters, digits and ". + ~ -";
 * the revision (after the last hyphen) holds letters, digits and ". + ~".
 */
class VellDebianVersion
{
public:
    /** False with the reason in errorText when version is not one. */
    static bool isValid(const QString &version, QString *errorText = nullptr);
};

#endif // VELLDEBIANVERSION_H
