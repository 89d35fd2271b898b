#ifndef VELLDEBIANVERSION_H
#define VELLDEBIANVERSION_H

#include <QByteArray>
#include <QString>

/**
 * A version ordered as Debian orders package versions: [epoch:]upstream[-revision].
 * The epoch compares as a number; upstream and revision compare part by part,
 * runs of non-digits character by character (letters before other characters,
 * "~" before anything, even the end) and runs of digits as numbers.
 */
class VellDebianVersion
{
public:
    /**
     * Reads text. False when it is no version at all: empty, with blanks, a
     * non-numeric or too large epoch, an empty upstream part or an empty
     * revision after "-". Such a version is never newer than anything.
     */
    static bool parse(const QByteArray &text, VellDebianVersion &version);

    /**
     * The stricter syntax a release must follow, as dpkg writes it: the epoch
     * digits, the upstream part starting with a digit and holding letters,
     * digits and ". + ~ -", the revision (after the last hyphen) letters,
     * digits and ". + ~". False, with the reason in errorText, otherwise.
     */
    static bool isWellFormed(const QString &version, QString *errorText = nullptr);

    /** Negative, zero or positive as this version is older, equal or newer than other. */
    int compare(const VellDebianVersion &other) const;

private:
    quint64 epoch = 0;
    QByteArray upstream;
    QByteArray revision;
};

#endif // VELLDEBIANVERSION_H
