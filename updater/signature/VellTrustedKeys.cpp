#include "VellTrustedKeys.h"

#include "VellText.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

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
    const QByteArray path = QFile::encodeName(folder);
    struct stat status;
    if (::lstat(path.constData(), &status) != 0 && errno == ENOENT) {
        return trusted;
    }
    // From here on something stands where the keys belong: signatures are required.
    trusted.required = true;
    const QString shown = QDir::toNativeSeparators(folder);
    if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        trusted.folderProblem = VellText::tr(
            "The trusted keys folder %1 is not a folder.", "signature check: keys folder")
                                    .arg(shown);
        return trusted;
    }
    QDir directory(folder);
    if (!directory.isReadable()) {
        trusted.folderProblem = VellText::tr(
            "The trusted keys folder %1 cannot be read.", "signature check: keys folder")
                                    .arg(shown);
        return trusted;
    }
    const QFileInfoList entries = directory.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        QFile file(entry.filePath());
        VellMinisignPublicKey key;
        if (file.open(QIODevice::ReadOnly)
            && VellMinisignPublicKey::parse(
                file.read(VellMinisignPublicKey::MaxFileBytes + 1), key)) {
            trusted.keys.append(key);
        }
    }
    if (trusted.keys.isEmpty()) {
        trusted.folderProblem = VellText::tr(
            "The trusted keys folder %1 holds no valid key.", "signature check: keys folder")
                                    .arg(shown);
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
