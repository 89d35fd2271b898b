#ifndef VELLTRUSTEDCOMMENT_H
#define VELLTRUSTEDCOMMENT_H

#include <QByteArray>
#include <QDateTime>
#include <QList>

class Component;

/**
 * The trusted comment of a package signature, which binds the package to the
 * update it was made for: blank-separated words, among them the pairs
 * project=, name=, type= and version=, each value percent-encoded (every byte
 * outside RFC 3986's unreserved characters written as %XX), for example
 *
 *     vell-package project=vell name=core type=app version=2.0
 *
 * Two pairs limit what a genuine package may still do: downgrade=allowed lets
 * it replace a newer installed version (a vendor rolling a release back), and
 * expires=YYYY-MM-DDTHH:MM:SSZ (UTC) ends its validity.
 *
 * Other words and pairs are ignored, so the comment can grow.
 */
class VellTrustedComment
{
public:
    explicit VellTrustedComment(const QByteArray &text);

    /** The comment that binds a package to the component's project, name, type and version. */
    static QByteArray forComponent(const QByteArray &project, const QByteArray &name,
        const QByteArray &type, const QByteArray &version);
    static QByteArray percentEncode(const QByteArray &bytes);
    /** False when a "%" is not followed by two hex digits. */
    static bool percentDecode(const QByteArray &encoded, QByteArray &decoded);

    /**
     * The decoded value of the pair named key. False when the pair is
     * missing, given more than once (which value would count?) or badly
     * encoded.
     */
    bool value(const QByteArray &key, QByteArray &decoded) const;

    /**
     * True when project, name, type and version are each given once and,
     * decoded, equal the component's byte for byte.
     */
    bool describes(const Component &component) const;

    /** The signed expiry: valid is false for a malformed or repeated pair; at is null without one.
     */
    struct Expiry
    {
        bool valid = true;
        QDateTime at;
    };
    Expiry expiry() const;

    /** True when the signer allows this package to replace a newer version. */
    bool allowsDowngrade() const;

private:
    QList<QByteArray> words;
};

#endif // VELLTRUSTEDCOMMENT_H
