#include "VellMinisignSignature.h"

#include "VellMinisignText_p.h"

namespace {

constexpr int AlgorithmBytes = 2;

bool algorithmFrom(const QByteArray &bytes, VellMinisignSignature::Algorithm &algorithm)
{
    if (bytes == "ED") {
        algorithm = VellMinisignSignature::Algorithm::Prehashed;
    } else if (bytes == "Ed") {
        algorithm = VellMinisignSignature::Algorithm::Legacy;
    } else {
        return false;
    }
    return true;
}

} // namespace

bool VellMinisignSignature::parse(const QByteArray &text, VellMinisignSignature &signature)
{
    if (text.size() > MaxFileBytes) {
        return false;
    }
    const QList<QByteArray> lines = VellMinisignText::lines(text);
    if (lines.size() < 4 || !lines.at(0).startsWith(VellMinisignText::UntrustedCommentPrefix)
        || !lines.at(2).startsWith(VellMinisignText::TrustedCommentPrefix)) {
        return false;
    }
    QByteArray signatureLine;
    QByteArray global;
    Algorithm algorithm;
    if (!VellMinisignText::decodeBase64(
            lines.at(1), AlgorithmBytes + KeyIdBytes + SignatureBytes, signatureLine)
        || !algorithmFrom(signatureLine.left(AlgorithmBytes), algorithm)
        || !VellMinisignText::decodeBase64(lines.at(3), SignatureBytes, global)) {
        return false;
    }
    signature.algo = algorithm;
    signature.id = signatureLine.mid(AlgorithmBytes, KeyIdBytes);
    signature.signatureBytes = signatureLine.mid(AlgorithmBytes + KeyIdBytes);
    signature.comment = lines.at(2).mid(int(qstrlen(VellMinisignText::TrustedCommentPrefix)));
    signature.globalBytes = global;
    return true;
}

QByteArray VellMinisignSignature::keyIdText() const
{
    return VellMinisignText::keyIdText(id);
}

QByteArray VellMinisignSignature::globallySignedBytes() const
{
    QByteArray bytes = signatureBytes;
    bytes += comment;
    return bytes;
}
