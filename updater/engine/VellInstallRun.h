#ifndef VELLINSTALLRUN_H
#define VELLINSTALLRUN_H

#include "VellInstalledVersions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class Update;
class VellUpdatePackage;
class VellUserPrompt;

/**
 * Installs a run's downloaded packages from the work directory. Every
 * package is verified first (signature, size and checksum, against the
 * trusted keys); one refusal refuses the whole run before anything changes.
 * Then each package installs through VellUpdatePackage; a failed one is
 * offered again to the user (Retry) until it installs or the user gives up
 * (Abort), which rolls back every package of the run. Once all installed,
 * each is finished (made durable); one that cannot be is rolled back with the
 * rest. The log lists the files installed, or says why nothing was.
 *
 * Needs no network: the packages are files, the user is a VellUserPrompt.
 */
class VellInstallRun : public QObject
{
    Q_OBJECT

public:
    /**
     * Runs the installation of @p updates (not owned) from @p workDir, which
     * is emptied at the end whatever the outcome. Blocks; asks @p userPrompt.
     * Without a key in @p trustedKeysFolder, packages install unsigned.
     */
    void run(const QVector<Update *> &updates, const QString &workDir,
        const QString &trustedKeysFolder, VellUserPrompt &userPrompt);

    /**
     * The installed versions the next runs judge downgrades against (the
     * client's query); without them no component counts as installed.
     */
    void setInstalledVersions(const VellInstalledVersions &versions)
    {
        installedVersions = versions;
    }

    /** The installed files, a refusal or the failure, for the summary window. */
    QString log() const { return runLog; }
    /** True once the last run installed and finished every package. */
    bool succeeded() const { return installed; }

signals:
    /** Percent of the installation or of the rollback. */
    void progress(int percent);
    /** The update's name, or "Rollback update" when a rollback starts. */
    void fileStarted(const QString &name);
    /** Sent at the end of every run, installed, refused or rolled back. */
    void finished();

private:
    QStringList refusedPackages(const QString &trustedKeysFolder) const;
    void refuseRun(const QStringList &refusals);
    bool installPackage(VellUpdatePackage &package, const QString &name);
    void rollback(const std::vector<std::unique_ptr<VellUpdatePackage>> &packages);

    QVector<Update *> updates;
    VellInstalledVersions installedVersions;
    QString workDir;
    VellUserPrompt *prompt = nullptr;
    QString runLog;
    bool installed = false;
};

#endif // VELLINSTALLRUN_H
