#include "VellUpdaterProgram.h"

#include "VellChangelogDialog.h"
#include "VellDownloadDialog.h"
#include "VellInstallNotice.h"
#include "VellMessageBoxPrompt.h"
#include "VellRunGuard.h"
#include "VellText.h"
#include "VellUpdatePackage.h"
#include "VellUpdateScreening.h"
#include "VellUpdaterEngine.h"

#include <QApplication>

#include <exception>

int VellUpdaterProgram::run(bool quiet)
{
    return guarded([quiet] {
        VellMessageBoxPrompt boxes;
        // Held until the program ends: one updater at a time.
        VellRunGuard guard(boxes, quiet);
        if (!guard.claim()) {
            return guard.lockRefused() ? 1 : 0;
        }
        VellUpdaterEngine engine;
        engine.setUserPrompt(&boxes);
        if (!engine.checkUpdates()) {
            return 0;
        }
        // Before anything is downloaded: updates this process cannot install,
        // and program updates that a package manager owns, are left alone.
        const VellUpdateScreening::Result screening = VellUpdateScreening::screen(
            engine.getUpdates(), VellUpdatePackage::installDirFor("app"),
            VellUpdatePackage::installDirFor("plugin"));
        if (!screening.paragraphs.isEmpty()) {
            engine.keepOnlyUpdates(screening.toInstall);
            if (!quiet) {
                boxes.tellInformation(
                    VellInstallNotice::title(), VellInstallNotice::text(screening.paragraphs));
            }
        }
        if (engine.updatesAvailable()) {
            // The windows delete themselves and their controllers when they close.
            if (quiet) {
                new VellDownloadDialog(&engine);
            } else {
                new VellChangelogDialog(&engine);
            }
            return QApplication::exec();
        }
        // The box above has already said why nothing is left to install.
        if (!quiet && screening.paragraphs.isEmpty()) {
            boxes.tellInformation(VellText::tr("Update", "program update"),
                VellText::tr("No updates available.", "nc"));
        }
        return 0;
    });
}

int VellUpdaterProgram::guarded(const std::function<int()> &body)
{
    try {
        return body();
    } catch (const std::exception &e) {
        VellMessageBoxPrompt().tellError(
            VellText::tr("Update", "program update"), QString::fromLocal8Bit(e.what()));
    } catch (...) { }
    return 1;
}
