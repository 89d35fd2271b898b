#include "VellTrustedKeys.h"

#include <QDir>
#include <QFile>

VellTrustedKeys::VellTrustedKeys(const QVector<VellMinisignPublicKey> &keys)
    : keys(keys)
    , required(!keys.isEmpty())
{ }

VellTrustedKeys VellTrustedKeys::fromFolder(const QString &folder)
{
    VellTrustedKeys trusted;
    if (folder.isEmpty()) {
        return trusted;
    }
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        trusted.required = true;
        QFile file(entry.filePath());
        VellMinisignPublicKey key;
        if (file.open(QIODevice::ReadOnly)
            && VellMinisignPublicKey::parse(
                file.read(VellMinisignPublicKey::MaxFileBytes + 1), key)) {
            trusted.keys.append(key);
        }
    }
    return trusted;
}

const VellMinisignPublicKey *VellTrustedKeys::find(const QByteArray &keyId) const
{
    for (const VellMinisignPublicKey &key : keys) {
        if (key.keyId() == keyId) {
            return &key;
        }
    }
    return nullptr;
}
