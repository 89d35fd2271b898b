#include "VellMinisignText_p.h"

#include <algorithm>

namespace VellMinisignText {

const char UntrustedCommentPrefix[] = "untrusted comment: ";
const char TrustedCommentPrefix[] = "trusted comment: ";

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> result = text.split('\n');
    for (QByteArray &line : result) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return result;
}

bool decodeBase64(const QByteArray &line, int size, QByteArray &decoded)
{
    const QByteArray::FromBase64Result result
        = QByteArray::fromBase64Encoding(line, QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.size() != size) {
        return false;
    }
    decoded = result.decoded;
    return true;
}

QByteArray keyIdText(const QByteArray &keyId)
{
    QByteArray bigEndian = keyId;
    std::reverse(bigEndian.begin(), bigEndian.end());
    return bigEndian.toHex().toUpper();
}

} // namespace VellMinisignText
