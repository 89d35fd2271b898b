#ifndef VELLPACKAGEVERIFIER_H
#define VELLPACKAGEVERIFIER_H

#include "VellTrustedKeys.h"

#include <QDateTime>
#include <QString>

class Component;

/**
 * Decides whether a downloaded package may be installed: it must carry a
 * minisign signature (its ".minisig" file) by one of the trusted keys, over
 * exactly this file, with a trusted comment naming the component and version
 * it is installed as. Without trusted keys every package passes.
 *
 * With keys, an update of an installed component must also be newer than the
 * installed version (in Debian's order), unless its signed comment carries
 * downgrade=allowed, and a signed expires= time must not have passed: an old
 * genuine package offered again is refused.
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
        UnusableKeys, ///< the trusted keys folder is there but cannot be used
        NotNewer, ///< not newer than the installed version, and no downgrade allowed
        Expired, ///< the signed expiry time has passed
    };

    explicit VellPackageVerifier(const VellTrustedKeys &keys);

    /**
     * Checks the package at packagePath against the signature file at
     * signaturePath, for the component it is about to be installed as.
     * installedVersion is the version the registry holds, empty when it holds
     * none. detail receives, for UnusableKeys, NotNewer and Expired, the
     * particular reason (translated), for refusalText.
     */
    Verdict verify(const QString &packagePath, const QString &signaturePath,
        const Component &component, const QByteArray &installedVersion = QByteArray(),
        QString *detail = nullptr) const;
    /** The same with the signature file's contents. */
    Verdict verifyWithSignature(const QString &packagePath, const QByteArray &signatureText,
        const Component &component, const QByteArray &installedVersion = QByteArray(),
        QString *detail = nullptr) const;

    /**
     * The checks of an already authenticated trusted comment that do not
     * depend on the package's bytes: downgrade and expiry.
     */
    Verdict checkFreshness(const QByteArray &trustedComment, const QByteArray &offeredVersion,
        const QByteArray &installedVersion, QString *detail = nullptr) const;

    /** The time expiry is judged against (tests); the current time by default. */
    void setNow(const QDateTime &utc) { fixedNow = utc; }

    /** What to tell the user when a package is refused, naming it, with verify's detail. */
    static QString refusalText(
        Verdict verdict, const QString &packageName, const QString &detail = QString());

private:
    VellTrustedKeys keys;
    QDateTime fixedNow;
};

#endif // VELLPACKAGEVERIFIER_H
