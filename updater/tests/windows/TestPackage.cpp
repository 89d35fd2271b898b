#include "TestPackage.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {
bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
} // namespace

QByteArray TestPackage::build(const QString &scratchDir, const QString &base,
    const QByteArray &name, const QByteArray &type, const QMap<QString, QByteArray> &files)
{
    const QString root = scratchDir + QLatin1String("/package-") + base;
    QDir(root).removeRecursively();
    if (!QDir().mkpath(root + QLatin1String("/files"))) {
        return QByteArray();
    }

    QByteArray descriptor = "<package project='vell' name='" + name + "' type='" + type + "'>\n";
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        if (!writeFile(root + QLatin1String("/files/") + file.key(), file.value())) {
            return QByteArray();
        }
        descriptor += "  <file name='" + file.key().toUtf8() + "' path='files' action='add'/>\n";
    }
    descriptor += "</package>\n";
    if (!writeFile(root + QLatin1Char('/') + base + QLatin1String(".xml"), descriptor)) {
        return QByteArray();
    }

    const QString archive = root + QLatin1String(".zip");
    QFile::remove(archive);
    QProcess zip;
    zip.setWorkingDirectory(root);
    zip.start(QStringLiteral("zip"),
        {QStringLiteral("-q"), QStringLiteral("-r"), archive, QStringLiteral(".")});
    if (!zip.waitForFinished(20000) || zip.exitStatus() != QProcess::NormalExit
        || zip.exitCode() != 0) {
        return QByteArray();
    }
    QFile result(archive);
    return result.open(QIODevice::ReadOnly) ? result.readAll() : QByteArray();
}
