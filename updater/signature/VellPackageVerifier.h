#ifndef VELLPACKAGEVERIFIER_H
#define VELLPACKAGEVERIFIER_H

#include "VellTrustedKeys.h"

#include <QString>

class Component;

/**
 * Decides whether a downloaded package may be installed: it must carry a
 * minisign signature (its ".minisig" file) by one of the trusted keys, over
 * exactly this file, with a trusted comment naming the component and version
 * it is installed as. Without trusted keys every package passes.
 *
 * The package is streamed (prehashed signatures) or mapped (legacy ones),
 * never read into memory whole.
 */
class VellPackageVerifier
{
public:
    enum class Verdict {
        Accepted,
        NoSignature, ///< no signature file
        DamagedSignature, ///< the signature file is not one
        UnknownKey, ///< signed by a key that is not trusted
        FileMismatch, ///< the signature does not match the package's bytes
        CommentMismatch, ///< the trusted comment was changed after signing
        OtherComponent, ///< signed for another component or version
        UnreadablePackage, ///< the package file cannot be read
    };

    explicit VellPackageVerifier(const VellTrustedKeys &keys);

    /**
     * Checks the package at packagePath against the signature file at
     * signaturePath, for the component it is about to be installed as.
     */
    Verdict verify(
        const QString &packagePath, const QString &signaturePath, const Component &component) const;
    /** The same with the signature file's contents. */
    Verdict verifyWithSignature(const QString &packagePath, const QByteArray &signatureText,
        const Component &component) const;

    /** What to tell the user when a package is refused, naming it. */
    static QString refusalText(Verdict verdict, const QString &packageName);

private:
    VellTrustedKeys keys;
};

#endif // VELLPACKAGEVERIFIER_H
