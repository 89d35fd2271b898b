#include "VellInstallRecovery.h"

#include "VellUnwindJournal_p.h"
#include "VellUpdatePackage.h"

#include <algorithm>

VellInstallRecovery::Outcome VellInstallRecovery::recoverInterruptedRuns(QStringList &unrestored)
{
    return recoverInterruptedRuns(
        {VellUpdatePackage::installDirFor("app"), VellUpdatePackage::installDirFor("plugin")},
        unrestored);
}

VellInstallRecovery::Outcome VellInstallRecovery::recoverInterruptedRuns(
    const QStringList &installDirs, QStringList &unrestored)
{
    // The worst outcome of any directory is the outcome of all.
    Outcome outcome = Outcome::NothingToDo;
    for (const QString &installDir : installDirs) {
        Outcome here = Outcome::NothingToDo;
        switch (VellUnwindJournal::recover(installDir, unrestored)) {
        case VellUnwindJournal::Recovery::Nothing:
            break;
        case VellUnwindJournal::Recovery::Restored:
            here = Outcome::Restored;
            break;
        case VellUnwindJournal::Recovery::Busy:
            here = Outcome::Busy;
            break;
        case VellUnwindJournal::Recovery::Failed:
            here = Outcome::Failed;
            break;
        }
        outcome = std::max(outcome, here);
    }
    return outcome;
}
