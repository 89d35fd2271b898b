#ifndef VELLINSTALLRECOVERY_H
#define VELLINSTALLRECOVERY_H

#include <QString>
#include <QStringList>

/**
 * Undoes, at start-up, the installation of an updater that died in the
 * middle of a run (a crash, a kill, a power cut): the journal it left in an
 * installation directory names every touched file, and each comes back byte
 * for byte from its backup. Runs of a process that is still alive are left
 * alone.
 */
class VellInstallRecovery
{
public:
    enum class Outcome {
        NothingToDo, ///< no interrupted run
        Restored, ///< an interrupted run was rolled back completely
        Failed, ///< some names could not be restored; their records stay for the next start
        Busy ///< another updater's run is in progress
    };

    /// Looks at the installation directories of the "app" and "plugin" components.
    static Outcome recoverInterruptedRuns(QStringList &unrestored);
    /// Looks at @p installDirs; @p unrestored receives "<path>: <reason>" per name left wrong.
    static Outcome recoverInterruptedRuns(const QStringList &installDirs, QStringList &unrestored);
};

#endif // VELLINSTALLRECOVERY_H
