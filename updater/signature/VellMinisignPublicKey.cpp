#include "VellMinisignPublicKey.h"

#include "VellMinisignText_p.h"

namespace {

const QByteArray Ed25519Algorithm("Ed");

} // namespace

bool VellMinisignPublicKey::parse(const QByteArray &text, VellMinisignPublicKey &key)
{
    if (text.size() > MaxFileBytes) {
        return false;
    }
    const QList<QByteArray> lines = VellMinisignText::lines(text);
    QByteArray decoded;
    if (lines.size() < 2 || !lines.at(0).startsWith(VellMinisignText::UntrustedCommentPrefix)
        || !VellMinisignText::decodeBase64(
            lines.at(1), Ed25519Algorithm.size() + KeyIdBytes + KeyBytes, decoded)
        || !decoded.startsWith(Ed25519Algorithm)) {
        return false;
    }
    key.id = decoded.mid(Ed25519Algorithm.size(), KeyIdBytes);
    key.bytes = decoded.mid(Ed25519Algorithm.size() + KeyIdBytes);
    return true;
}

QByteArray VellMinisignPublicKey::keyIdText() const
{
    return VellMinisignText::keyIdText(id);
}
