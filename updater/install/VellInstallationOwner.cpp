#include "VellInstallationOwner.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>

namespace {

QString defaultDpkgAdminDir()
{
    const QByteArray forTests = qgetenv("VELL_TEST_DPKG_ADMINDIR");
    return forTests.isEmpty() ? QStringLiteral("/var/lib/dpkg") : QFile::decodeName(forTests);
}

} // namespace

QString VellInstallationOwner::settingFileName()
{
    return QStringLiteral("updater.conf");
}

VellInstallationOwner::Owner VellInstallationOwner::of(
    const QString &programDir, const QString &dpkgAdminDir)
{
    Owner owner;
    owner.programDir = QDir::cleanPath(QDir(programDir).absolutePath());
    const QString settingFile = owner.programDir + QLatin1Char('/') + settingFileName();
    if (QFile::exists(settingFile)) {
        const QSettings setting(settingFile, QSettings::IniFormat);
        const QString manager
            = setting.value(QStringLiteral("installation/managed-by")).toString().trimmed();
        if (!manager.isEmpty()) {
            owner.source = Source::Setting;
            owner.manager = manager;
            return owner;
        }
    }
    const QString adminDir = dpkgAdminDir.isEmpty() ? defaultDpkgAdminDir() : dpkgAdminDir;
    if (dpkgLists(adminDir, owner.programDir)) {
        owner.source = Source::Detected;
        owner.manager = QStringLiteral("dpkg");
    }
    return owner;
}

bool VellInstallationOwner::dpkgLists(const QString &adminDir, const QString &dir)
{
    // A package's list names every folder and file it installed, one absolute
    // path a line. A line for the folder itself is not enough: dpkg lists "/opt"
    // for any package below it, so a file directly inside the folder must be listed.
    const QByteArray prefix = QFile::encodeName(QDir::cleanPath(dir)) + '/';
    QDirIterator lists(adminDir + QLatin1String("/info"), {QStringLiteral("*.list")}, QDir::Files);
    while (lists.hasNext()) {
        QFile list(lists.next());
        if (!list.open(QIODevice::ReadOnly)) {
            continue;
        }
        while (!list.atEnd()) {
            const QByteArray line = list.readLine().trimmed();
            if (line.startsWith(prefix) && line.indexOf('/', prefix.size()) < 0
                && line.size() > prefix.size()) {
                return true;
            }
        }
    }
    return false;
}
