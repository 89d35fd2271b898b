#ifndef SIGNATUREFAULT_H
#define SIGNATUREFAULT_H

#include "MinisignTool.h"
#include "VellPackageVerifier.h"

#include <QByteArray>
#include <QMetaType>

/**
 * One way a signed package can be wrong, and the verdict it earns. The
 * verifier's tests and the engine's apply the same table (addRows()), each to
 * its own package: sign it as signature() says, then damage() the bytes.
 */
class SignatureFault
{
public:
    enum Kind {
        ChangedByte,
        ChangedByteLegacy,
        AppendedByte,
        UnknownKey,
        NoSignature,
        OtherVersion,
        OtherName,
        OtherType,
        NoVersion,
        EditedComment,
        TruncatedSignature,
        GarbageSignature,
        EmptySignature,
    };

    /// The columns "fault" (Kind) and "verdict" (VellPackageVerifier::Verdict), a row per kind.
    static void addRows();

    explicit SignatureFault(Kind kind)
        : kind(kind)
    { }

    /// False when the package comes without a signature file at all.
    bool hasSignature() const { return kind != NoSignature; }
    /// Whether an untrusted key signs.
    bool byUnknownKey() const { return kind == UnknownKey; }
    MinisignTool::Format format() const;
    /// The trusted comment to sign for the package of this component.
    QByteArray comment(const QByteArray &project, const QByteArray &name, const QByteArray &type,
        const QByteArray &version) const;
    /// What is done to the package and its signature after signing.
    void damage(QByteArray &package, QByteArray &signature, const QByteArray &version) const;

private:
    Kind kind;
};

Q_DECLARE_METATYPE(SignatureFault::Kind)
Q_DECLARE_METATYPE(VellPackageVerifier::Verdict)

#endif // SIGNATUREFAULT_H
