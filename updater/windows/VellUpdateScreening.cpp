#include "VellUpdateScreening.h"

#include "Update.h"
#include "VellInstallNotice.h"

VellUpdateScreening::Result VellUpdateScreening::screen(const QVector<Update *> &offered,
    const QString &programDir, const QString &pluginDir, const QString &dpkgAdminDir)
{
    Result result;
    const VellInstallationOwner::Owner owner = VellInstallationOwner::of(programDir, dpkgAdminDir);
    for (Update *update : offered) {
        const bool isApp = update->getType() == "app";
        const QString name = QString::fromUtf8(update->getDescription().empty()
                ? update->getName().c_str()
                : update->getDescription().c_str());
        if (isApp && owner.isManaged()) {
            result.paragraphs << VellInstallNotice::managed(
                name, QString::fromUtf8(update->getVersion().c_str()), owner);
            continue;
        }
        // Other types have no folder; the installation reports them as before.
        const QString folder = isApp        ? programDir
            : update->getType() == "plugin" ? pluginDir
                                            : QString();
        if (!folder.isEmpty()) {
            const VellInstallability::Verdict verdict = VellInstallability::check(folder);
            if (!verdict.canInstall()) {
                result.paragraphs << VellInstallNotice::blocked(name, verdict);
                continue;
            }
        }
        result.toInstall << update;
    }
    return result;
}
