#include "VellDebianVersion.h"

#include <QRegularExpression>

#include <limits>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/** The weight of one character of a non-digit run; the end of the run weighs 0. */
int weight(const char *c)
{
    if (!*c || isDigit(*c)) {
        return 0;
    }
    if (*c == '~') {
        return -1;
    }
    const int byte = static_cast<unsigned char>(*c);
    return isLetter(*c) ? byte : byte + 256;
}

/** One part (upstream or revision): alternating non-digit and digit runs. */
int comparePart(const QByteArray &left, const QByteArray &right)
{
    const char *a = left.constData();
    const char *b = right.constData();
    while (*a || *b) {
        while ((*a && !isDigit(*a)) || (*b && !isDigit(*b))) {
            const int difference = weight(a) - weight(b);
            if (difference) {
                return difference;
            }
            // A run that has ended stays at its end; the other goes on.
            a += *a && !isDigit(*a);
            b += *b && !isDigit(*b);
        }
        while (*a == '0') {
            ++a;
        }
        while (*b == '0') {
            ++b;
        }
        int firstDifference = 0;
        while (isDigit(*a) && isDigit(*b)) {
            if (!firstDifference) {
                firstDifference = *a - *b;
            }
            ++a;
            ++b;
        }
        if (isDigit(*a)) {
            return 1;
        }
        if (isDigit(*b)) {
            return -1;
        }
        if (firstDifference) {
            return firstDifference;
        }
    }
    return 0;
}

} // namespace

bool VellDebianVersion::parse(const QByteArray &text, VellDebianVersion &version)
{
    if (text.isEmpty()) {
        return false;
    }
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0') {
            return false;
        }
    }
    VellDebianVersion parsed;
    QByteArray rest = text;
    const int colon = rest.indexOf(':');
    if (colon >= 0) {
        const QByteArray epoch = rest.left(colon);
        if (epoch.isEmpty()) {
            return false;
        }
        for (const char c : epoch) {
            if (!isDigit(c)) {
                return false;
            }
            if (parsed.epoch > (std::numeric_limits<int>::max() - quint64(c - '0')) / 10) {
                return false;
            }
            parsed.epoch = parsed.epoch * 10 + quint64(c - '0');
        }
        rest = rest.mid(colon + 1);
    }
    const int hyphen = rest.lastIndexOf('-');
    if (hyphen >= 0) {
        parsed.revision = rest.mid(hyphen + 1);
        if (parsed.revision.isEmpty()) {
            return false;
        }
        rest = rest.left(hyphen);
    }
    if (rest.isEmpty()) {
        return false;
    }
    parsed.upstream = rest;
    version = parsed;
    return true;
}

int VellDebianVersion::compare(const VellDebianVersion &other) const
{
    if (epoch != other.epoch) {
        return epoch < other.epoch ? -1 : 1;
    }
    const int upstreamOrder = comparePart(upstream, other.upstream);
    return upstreamOrder ? upstreamOrder : comparePart(revision, other.revision);
}

bool VellDebianVersion::isWellFormed(const QString &version, QString *errorText)
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
