#include "VellInstallDialog.h"

#include "VellFormLoader.h"
#include "VellSummaryDialog.h"
#include "VellUpdaterEngine.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

VellInstallDialog::VellInstallDialog(VellUpdaterEngine *engine)
    : QObject(nullptr)
    , engine(engine)
{
    VellFormLoader loader(QStringLiteral(":/res/Install.ui"));
    progressBar = loader.find<QProgressBar>("Updater_Install_Progress");
    auto *progressText = loader.find<QLabel>("Updater_Install_ProgressText");
    if (!loader.isComplete()) {
        VellFormLoader::abandon(this, loader.errorString());
        return;
    }
    form = loader.takeForm();

    connect(form, &QObject::destroyed, this, &QObject::deleteLater);
    connect(engine, &VellUpdaterEngine::installProgress, progressBar, &QProgressBar::setValue);
    connect(engine, &VellUpdaterEngine::installFile, progressText, &QLabel::setText);
    connect(engine, &VellUpdaterEngine::installFinished, this, &VellInstallDialog::finished);

    form->setAttribute(Qt::WA_DeleteOnClose);
    // The engine's message boxes run event loops while the installation is on
    // this stack: closing the window then would delete this controller under
    // its own constructor and drop the summary, so it stays open until the end.
    form->installEventFilter(this);
    form->show();

    // Synchronous: the whole installation, with its own message boxes, runs
    // here, and installFinished() reaches finished() before this returns.
    installing = true;
    engine->installUpdates();
    installing = false;
}

void VellInstallDialog::finished()
{
    installing = false;
    form->close();
    new VellSummaryDialog(engine);
}

bool VellInstallDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == form && event->type() == QEvent::Close && installing) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
