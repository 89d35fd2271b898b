#include "VellInstallRun.h"

#include "Update.h"
#include "VellMinisignSignature.h"
#include "VellPackageVerifier.h"
#include "VellText.h"
#include "VellTrustedKeys.h"
#include "VellUpdateFields_p.h"
#include "VellUpdatePackage.h"
#include "VellUserPrompt.h"
#include "VellWorkDirectory.h"

#include <QCoreApplication>
#include <QUrl>

using namespace VellUpdateFields;

void VellInstallRun::run(const QVector<Update *> &updates, const QString &workDir,
    const QString &trustedKeysFolder, VellUserPrompt &userPrompt)
{
    this->updates = updates;
    this->workDir = workDir;
    prompt = &userPrompt;
    const int count = updates.size();
    runLog.clear();
    installed = false;
    const QStringList refusals = refusedPackages(trustedKeysFolder);
    if (!refusals.isEmpty()) {
        refuseRun(refusals);
        return;
    }
    // Every package object lives until the run ends: a rollback needs its records.
    std::vector<std::unique_ptr<VellUpdatePackage>> packages;
    for (int i = 0; i < count; ++i) {
        Update *update = updates.at(i);
        packages.emplace_back(new VellUpdatePackage(update));
        const QString name = nameOf(update);
        emit fileStarted(name);
        runLog += VellText::tr(
                      "Installing package ", "status information about currently installed package")
            + name + QLatin1String(":\n");
        if (!installPackage(*packages.back(), name)) {
            rollback(packages);
            return;
        }
        emit progress(100 * (i + 1) / count);
    }
    // Until finished, a crash would leave the run to be rolled back at the
    // next start. A run that cannot be made durable is not offered again
    // (the disk has failed it once) but rolled back now.
    for (int i = 0; i < count; ++i) {
        QString errorText;
        if (!packages[size_t(i)]->finish(errorText)) {
            prompt->tellError(VellText::tr("Update", "nc"),
                VellText::tr("Failed installing package ", "nc") + nameOf(updates.at(i))
                    + QLatin1Char('\n') + errorText);
            rollback(packages);
            return;
        }
    }
    installed = true;
    emit finished();
    removeDir(workDir);
}

bool VellInstallRun::installPackage(VellUpdatePackage &package, const QString &name)
{
    forever {
        QString errorText;
        QStringList installedFiles;
        if (package.install(workDir, errorText, installedFiles)) {
            installedFiles.sort();
            runLog += installedFiles.join(QLatin1Char('\n')) + QLatin1String("\n\n");
            return true;
        }
        QString message = VellText::tr("Failed installing package ", "nc") + name;
        if (!errorText.isEmpty()) {
            message += QLatin1Char('\n') + errorText;
        }
        if (!prompt->askRetry(VellText::tr("Update", "nc"), message)) {
            return false;
        }
    }
}

void VellInstallRun::rollback(const std::vector<std::unique_ptr<VellUpdatePackage>> &packages)
{
    const int count = updates.size();
    emit fileStarted(
        VellText::tr("Rollback update", "restoring application to state before installing update"));
    emit progress(0);
    // Packages whose installation never started have nothing to restore.
    for (int j = 0; j < count; ++j) {
        if (j < int(packages.size()) && !packages[j]->unwind(workDir)) {
            prompt->tellError(VellText::tr("Update", "nc"),
                VellText::tr("An error occured while rolling back update "
                             "progress. Software may not work properly. Try "
                             "reinstalling whole application",
                    "nc"));
            QCoreApplication::quit();
        }
        emit progress(100 * (j + 1) / count);
    }
    // Untranslated, as the client has always written it.
    runLog = QStringLiteral("An error occured while installing updates");
    installed = false;
    emit finished();
    removeDir(workDir);
}

// Every package is checked before the first one is installed, so a refused
// package leaves the installation as it was.
QStringList VellInstallRun::refusedPackages(const QString &trustedKeysFolder) const
{
    const VellPackageVerifier verifier(VellTrustedKeys::fromFolder(trustedKeysFolder));
    QStringList refusals;
    for (const Update *update : updates) {
        const QString package = QStringLiteral("%1/%2").arg(workDir, linkOf(update).path());
        QString detail;
        const VellPackageVerifier::Verdict verdict
            = verifier.verify(package, package + QLatin1String(VellMinisignSignature::FileSuffix),
                *update, installedVersions.versionOf(*update), &detail);
        if (verdict != VellPackageVerifier::Verdict::Accepted) {
            refusals << VellPackageVerifier::refusalText(verdict,
                nameOf(update) + QLatin1Char(' ') + fromLatin1(update->getVersion()), detail);
        }
    }
    return refusals;
}

void VellInstallRun::refuseRun(const QStringList &refusals)
{
    const QString message = refusals.join(QLatin1Char('\n')) + QLatin1String("\n\n")
        + VellText::tr(
            "No update was installed: the installation is as it was.", "signature check");
    prompt->tellError(VellText::tr("Update", "nc"), message);
    runLog = message;
    emit finished();
    removeDir(workDir);
}
