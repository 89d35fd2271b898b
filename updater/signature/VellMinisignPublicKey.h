#ifndef VELLMINISIGNPUBLICKEY_H
#define VELLMINISIGNPUBLICKEY_H

#include <QByteArray>

/**
 * A minisign public key, as "minisign -G" writes it: an untrusted comment
 * line, then base64 of the algorithm "Ed", the 8-byte key ID and the 32-byte
 * Ed25519 public key.
 */
class VellMinisignPublicKey
{
public:
    /** Key files are tiny; anything larger is not one. */
    static constexpr int MaxFileBytes = 4096;
    static constexpr int KeyIdBytes = 8;
    static constexpr int KeyBytes = 32;

    /**
     * Reads a key file's contents. Returns false, leaving key alone, when text
     * is not a well-formed Ed25519 key file. Safe on any input.
     */
    static bool parse(const QByteArray &text, VellMinisignPublicKey &key);

    const QByteArray &keyId() const { return id; }
    /** The key ID as minisign prints it, for messages. */
    QByteArray keyIdText() const;
    const QByteArray &keyBytes() const { return bytes; }

private:
    QByteArray id;
    QByteArray bytes;
};

#endif // VELLMINISIGNPUBLICKEY_H
