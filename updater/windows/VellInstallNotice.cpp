#include "VellInstallNotice.h"

#include "VellSystemError.h"
#include "VellText.h"

#include <QDir>

namespace {

QString shown(const QString &folder)
{
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

QString why(const VellInstallability::Verdict &verdict)
{
    const QString folder = shown(verdict.folder);
    const QString reason = VellSystemError::text(verdict.errorCode);
    switch (verdict.reason) {
    case VellInstallability::Reason::None:
        break;
    case VellInstallability::Reason::NoFolder:
        return VellText::tr("The folder %1 cannot be made here (%2).",
            "why an update cannot be installed; %1 folder, %2 system reason")
            .arg(folder, reason);
    case VellInstallability::Reason::NotWritable:
        return VellText::tr("You may not change the folder %1 (%2).",
            "why an update cannot be installed; %1 folder, %2 system reason")
            .arg(folder, reason);
    case VellInstallability::Reason::ReadOnlyFileSystem:
        return VellText::tr("The folder %1 lies on a read-only file system.",
            "why an update cannot be installed; %1 folder")
            .arg(folder);
    case VellInstallability::Reason::UnwindUnusable:
        return VellText::tr("The backup folder %1 cannot be used (%2).",
            "why an update cannot be installed; %1 folder, %2 system reason")
            .arg(folder, reason);
    }
    return QString();
}

} // namespace

QString VellInstallNotice::title()
{
    return VellText::tr(
        "Some updates are not installed here", "title of the box before the change log");
}

QString VellInstallNotice::blocked(
    const QString &component, const VellInstallability::Verdict &verdict)
{
    return VellText::tr("%1 cannot be updated. %2 Ask your administrator to install this update.",
        "an update that cannot be installed; %1 component, %2 why (names the folder)")
        .arg(component, why(verdict));
}

QString VellInstallNotice::managed(
    const QString &component, const QString &version, const VellInstallationOwner::Owner &owner)
{
    const QString available
        = VellText::tr("Version %1 of %2 is available. This installation (%3) is "
                       "updated through the system's package manager (%4).",
            "a program update in a package manager's installation; %1 version, %2 component, %3 "
            "folder, %4 package manager")
              .arg(version, component, shown(owner.programDir), owner.manager);
    if (owner.source != VellInstallationOwner::Source::Detected) {
        return available;
    }
    return available + QLatin1Char(' ')
        + VellText::tr("The package manager's records list the files of %1, so the updater "
                       "leaves them alone.",
            "why a program folder counts as the package manager's; %1 folder")
              .arg(shown(owner.programDir));
}

QString VellInstallNotice::text(const QStringList &paragraphs)
{
    return VellText::tr(
               "These updates are not downloaded:", "first line of the box before the change log")
        + QLatin1String("\n\n") + paragraphs.join(QLatin1String("\n\n")) + QLatin1String("\n\n")
        + VellText::tr("The other updates are downloaded and installed as usual.",
            "last line of the box before the change log");
}
