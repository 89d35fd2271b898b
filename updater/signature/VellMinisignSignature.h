#ifndef VELLMINISIGNSIGNATURE_H
#define VELLMINISIGNSIGNATURE_H

#include <QByteArray>

/**
 * A minisign signature file (".minisig"):
 *
 *     untrusted comment: <free text>
 *     base64(algorithm (2 bytes) + key ID (8) + signature (64))
 *     trusted comment: <text>
 *     base64(global signature (64))
 *
 * The algorithm "ED" signs the BLAKE2b-512 hash of the file, "Ed" (legacy)
 * the file itself. The global signature covers the signature followed by the
 * trusted comment, so the comment cannot be changed without the key.
 */
class VellMinisignSignature
{
public:
    enum class Algorithm { Legacy, Prehashed };

    /**
     * Room for minisign's own limits (1 KiB of untrusted and 8 KiB of trusted
     * comment) with the base64 lines; a larger file is not a signature.
     */
    static constexpr int MaxFileBytes = 16 * 1024;
    static constexpr int KeyIdBytes = 8;
    static constexpr int SignatureBytes = 64;
    /// A package's signature lies beside it, its name with this added.
    static constexpr const char *FileSuffix = ".minisig";

    /**
     * Reads a signature file's contents. Returns false, leaving signature
     * alone, when text is not a well-formed signature file. Safe on any input.
     */
    static bool parse(const QByteArray &text, VellMinisignSignature &signature);

    Algorithm algorithm() const { return algo; }
    const QByteArray &keyId() const { return id; }
    /** The key ID as minisign prints it, for messages. */
    QByteArray keyIdText() const;
    /** The signature over the file (or over its hash). */
    const QByteArray &fileSignature() const { return signatureBytes; }
    /** The trusted comment, without its line prefix. */
    const QByteArray &trustedComment() const { return comment; }
    const QByteArray &globalSignature() const { return globalBytes; }
    /** What the global signature covers: the file signature, then the trusted comment. */
    QByteArray globallySignedBytes() const;

private:
    Algorithm algo = Algorithm::Prehashed;
    QByteArray id;
    QByteArray signatureBytes;
    QByteArray comment;
    QByteArray globalBytes;
};

#endif // VELLMINISIGNSIGNATURE_H
