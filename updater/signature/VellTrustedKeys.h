#ifndef VELLTRUSTEDKEYS_H
#define VELLTRUSTEDKEYS_H

#include "VellMinisignPublicKey.h"

#include <QString>
#include <QVector>

/**
 * The keys whose signatures the updater accepts: the minisign public key
 * files in one folder ("update-keys" beside the updater).
 *
 * Signatures are required as soon as the folder holds any file that is not
 * hidden, even one that is not a valid key: a damaged key file must never
 * switch the check off.
 */
class VellTrustedKeys
{
public:
    /** The folder's keys; an absent or empty folder gives no keys and no requirement. */
    static VellTrustedKeys fromFolder(const QString &folder);
    /** Keys given directly (tests, tools). */
    explicit VellTrustedKeys(const QVector<VellMinisignPublicKey> &keys = {});

    /** False when packages install unsigned, as before signatures existed. */
    bool signaturesRequired() const { return required; }
    /** The key with that ID, or null. */
    const VellMinisignPublicKey *find(const QByteArray &keyId) const;

private:
    QVector<VellMinisignPublicKey> keys;
    bool required = false;
};

#endif // VELLTRUSTEDKEYS_H
