#include "VellPackageVerifier.h"

#include "Component.h"
#include "VellDebianVersion.h"
#include "VellMinisignSignature.h"
#include "VellText.h"
#include "VellTrustedComment.h"

#include <QFile>

#include <sodium.h>

namespace {

constexpr qint64 ChunkSize = 64 * 1024;
constexpr size_t PrehashBytes = crypto_generichash_BYTES_MAX; // BLAKE2b-512

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

bool signatureMatches(const QByteArray &signature, const unsigned char *message,
    unsigned long long size, const QByteArray &publicKey)
{
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char *>(signature.constData()), message, size,
               reinterpret_cast<const unsigned char *>(publicKey.constData()))
        == 0;
}

/** BLAKE2b-512 of the whole file, read through a fixed buffer. */
bool hashFile(QFile &file, unsigned char (&hash)[PrehashBytes])
{
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, PrehashBytes);
    QByteArray buffer(int(ChunkSize), Qt::Uninitialized);
    forever {
        const qint64 got = file.read(buffer.data(), ChunkSize);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        crypto_generichash_update(
            &state, reinterpret_cast<const unsigned char *>(buffer.constData()), size_t(got));
    }
    crypto_generichash_final(&state, hash, PrehashBytes);
    return true;
}

/**
 * A legacy signature covers the file itself: the file is mapped, so its pages
 * come from the page cache instead of the heap.
 */
bool legacySignatureMatches(QFile &file, const QByteArray &signature, const QByteArray &publicKey)
{
    const qint64 size = file.size();
    if (size == 0) {
        static const unsigned char nothing = 0;
        return signatureMatches(signature, &nothing, 0, publicKey);
    }
    const uchar *mapped = file.map(0, size);
    if (!mapped) {
        return false;
    }
    const bool matches = signatureMatches(signature, mapped, size, publicKey);
    file.unmap(const_cast<uchar *>(mapped));
    return matches;
}

} // namespace

VellPackageVerifier::VellPackageVerifier(const VellTrustedKeys &keys)
    : keys(keys)
{ }

VellPackageVerifier::Verdict VellPackageVerifier::verify(const QString &packagePath,
    const QString &signaturePath, const Component &component, const QByteArray &installedVersion,
    QString *detail) const
{
    if (!keys.signaturesRequired()) {
        return Verdict::Accepted;
    }
    QFile signatureFile(signaturePath);
    if (!signatureFile.open(QIODevice::ReadOnly)) {
        return Verdict::NoSignature;
    }
    // One byte more than a signature may have tells an oversized file apart.
    return verifyWithSignature(packagePath,
        signatureFile.read(VellMinisignSignature::MaxFileBytes + 1), component, installedVersion,
        detail);
}

VellPackageVerifier::Verdict VellPackageVerifier::verifyWithSignature(const QString &packagePath,
    const QByteArray &signatureText, const Component &component, const QByteArray &installedVersion,
    QString *detail) const
{
    if (!keys.signaturesRequired()) {
        return Verdict::Accepted;
    }
    if (!keys.problem().isEmpty()) {
        if (detail) {
            *detail = keys.problem();
        }
        return Verdict::UnusableKeys;
    }
    VellMinisignSignature signature;
    if (!VellMinisignSignature::parse(signatureText, signature)) {
        return Verdict::DamagedSignature;
    }
    const VellMinisignPublicKey *key = keys.find(signature.keyId());
    if (!key) {
        return Verdict::UnknownKey;
    }
    QFile package(packagePath);
    if (!sodiumReady() || !package.open(QIODevice::ReadOnly)) {
        return Verdict::UnreadablePackage;
    }

    bool fileMatches;
    if (signature.algorithm() == VellMinisignSignature::Algorithm::Prehashed) {
        unsigned char hash[PrehashBytes];
        if (!hashFile(package, hash)) {
            return Verdict::UnreadablePackage;
        }
        fileMatches
            = signatureMatches(signature.fileSignature(), hash, sizeof hash, key->keyBytes());
    } else {
        fileMatches = legacySignatureMatches(package, signature.fileSignature(), key->keyBytes());
    }
    if (!fileMatches) {
        return Verdict::FileMismatch;
    }

    const QByteArray globallySigned = signature.globallySignedBytes();
    if (!signatureMatches(signature.globalSignature(),
            reinterpret_cast<const unsigned char *>(globallySigned.constData()),
            globallySigned.size(), key->keyBytes())) {
        return Verdict::CommentMismatch;
    }
    if (!VellTrustedComment(signature.trustedComment()).describes(component)) {
        return Verdict::OtherComponent;
    }
    const std::string &offered = component.getVersion();
    return checkFreshness(signature.trustedComment(),
        QByteArray(offered.data(), int(offered.size())), installedVersion, detail);
}

VellPackageVerifier::Verdict VellPackageVerifier::checkFreshness(const QByteArray &trustedComment,
    const QByteArray &offeredVersion, const QByteArray &installedVersion, QString *detail) const
{
    const VellTrustedComment comment(trustedComment);
    const VellTrustedComment::Expiry expiry = comment.expiry();
    if (!expiry.valid) {
        return Verdict::CommentMismatch;
    }
    const QDateTime now = fixedNow.isValid() ? fixedNow : QDateTime::currentDateTimeUtc();
    if (expiry.at.isValid() && now > expiry.at) {
        if (detail) {
            *detail = VellText::tr("The signature expired on %1 (UTC).",
                "signature check: %1 is the expiry time, as 2026-12-31T23:59:59Z")
                          .arg(expiry.at.toString(Qt::ISODate));
        }
        return Verdict::Expired;
    }
    if (installedVersion.isEmpty() || comment.allowsDowngrade()) {
        return Verdict::Accepted;
    }
    VellDebianVersion offered;
    VellDebianVersion installed;
    const bool newer = VellDebianVersion::parse(offeredVersion, offered)
        && VellDebianVersion::parse(installedVersion, installed) && offered.compare(installed) > 0;
    if (!newer) {
        if (detail) {
            *detail
                = VellText::tr("The version %1 is not newer than the installed %2.",
                    "signature check: %1 is the offered version, %2 the installed one")
                      .arg(QString::fromUtf8(offeredVersion), QString::fromUtf8(installedVersion));
        }
        return Verdict::NotNewer;
    }
    return Verdict::Accepted;
}

QString VellPackageVerifier::refusalText(
    Verdict verdict, const QString &packageName, const QString &detail)
{
    QString text;
    switch (verdict) {
    case Verdict::Accepted:
        break;
    case Verdict::NoSignature:
        text = VellText::tr("The package %1 is not signed.", "signature check");
        break;
    case Verdict::DamagedSignature:
        text = VellText::tr("The signature of the package %1 is damaged.", "signature check");
        break;
    case Verdict::UnknownKey:
        text = VellText::tr(
            "The package %1 is signed by a key this updater does not trust.", "signature check");
        break;
    case Verdict::FileMismatch:
        text = VellText::tr("The signature does not match the package %1: the file was changed.",
            "signature check");
        break;
    case Verdict::CommentMismatch:
        text = VellText::tr(
            "The signed comment of the package %1 was changed after signing.", "signature check");
        break;
    case Verdict::OtherComponent:
        text = VellText::tr(
            "The package %1 is signed for another component or version.", "signature check");
        break;
    case Verdict::UnreadablePackage:
        text = VellText::tr("The package %1 cannot be read.", "signature check");
        break;
    case Verdict::UnusableKeys:
        text = VellText::tr(
            "The package %1 is refused: the trusted keys cannot be read.", "signature check");
        break;
    case Verdict::NotNewer:
        text = VellText::tr("The package %1 is refused: it would not update the installed version.",
            "signature check");
        break;
    case Verdict::Expired:
        text = VellText::tr(
            "The package %1 is refused: its signature has expired.", "signature check");
        break;
    }
    if (text.isEmpty()) {
        return text;
    }
    text = text.arg(packageName);
    return detail.isEmpty() ? text : text + QLatin1Char(' ') + detail;
}
