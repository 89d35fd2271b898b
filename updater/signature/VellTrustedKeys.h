#ifndef VELLTRUSTEDKEYS_H
#define VELLTRUSTEDKEYS_H

#include "VellMinisignPublicKey.h"

#include <QString>
#include <QVector>

/**
 * The keys whose signatures the updater accepts: the minisign public key
 * files in one folder ("update-keys" beside the updater).
 *
 * Only a folder that does not exist at all switches signatures off. Anything
 * else in its place (a file, a dangling link, a folder that cannot be read or
 * holds no valid key) requires signatures and trusts no key, so that every
 * package is refused: a damaged key folder must never switch the check off.
 */
class VellTrustedKeys
{
public:
    /** The folder's keys; an absent folder gives no keys and no requirement. */
    static VellTrustedKeys fromFolder(const QString &folder);
    /** Keys given directly (tests, tools). */
    explicit VellTrustedKeys(const QVector<VellMinisignPublicKey> &keys = {});

    /** False when packages install unsigned, as before signatures existed. */
    bool signaturesRequired() const { return required; }
    /** The key with that ID, or null. */
    const VellMinisignPublicKey *find(const QByteArray &keyId) const;
    /**
     * Why the keys folder cannot be used, naming it (translated); empty when it
     * can, or when there is none.
     */
    QString problem() const { return folderProblem; }

private:
    QVector<VellMinisignPublicKey> keys;
    bool required = false;
    QString folderProblem;
};

#endif // VELLTRUSTEDKEYS_H
