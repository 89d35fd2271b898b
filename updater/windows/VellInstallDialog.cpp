#include "VellInstallDialog.h"

#include "VellFormLoader.h"
#include "VellInstallHeartbeat.h"
#include "VellSummaryDialog.h"
#include "VellUpdaterEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {
// How long to wait for the window system to put the window on screen, and
// how often the installer's heartbeat may repaint.
constexpr int exposureLimitMs = 2000;
constexpr int heartbeatIntervalMs = 40;
} // namespace

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
    // After the widgets took the new value: show it now, not after the installation.
    connect(engine, &VellUpdaterEngine::installProgress, this, &VellInstallDialog::refresh);
    connect(engine, &VellUpdaterEngine::installFile, this, &VellInstallDialog::refresh);
    connect(engine, &VellUpdaterEngine::installFinished, this, &VellInstallDialog::finished);

    form->setAttribute(Qt::WA_DeleteOnClose);
    // The engine's message boxes run event loops while the installation is on
    // this stack: closing the window then would delete this controller under
    // its own constructor and drop the summary, so it stays open until the end.
    form->installEventFilter(this);
    form->show();
    waitUntilOnScreen();

    // Synchronous: the whole installation, with its own message boxes, runs
    // here, and installFinished() reaches finished() before this returns. The
    // event loop does not run meanwhile; the heartbeat keeps the window painted
    // and answering the window manager during long files.
    installing = true;
    {
        QElapsedTimer sinceRefresh;
        sinceRefresh.start();
        const VellInstallHeartbeat::Scope heartbeat([this, &sinceRefresh] {
            if (sinceRefresh.elapsed() >= heartbeatIntervalMs) {
                refresh();
                sinceRefresh.restart();
            }
        });
        engine->installUpdates();
    }
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

void VellInstallDialog::refresh()
{
    if (!form) {
        return;
    }
    // Painted and sent to the screen at once, whatever the event queue holds.
    form->repaint();
    // Then the window system's own traffic (exposure, the window manager's
    // pings) and other paint requests; input waits until the installation
    // ends, so nothing the user clicks can run in the middle of it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void VellInstallDialog::waitUntilOnScreen()
{
    QElapsedTimer waited;
    waited.start();
    // Wakes the wait below now and then, should the window system stay silent.
    QTimer wakeUp;
    wakeUp.start(50);
    const QWindow *window = form->windowHandle();
    while (window && !window->isExposed() && waited.elapsed() < exposureLimitMs) {
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    // The first paint of the exposed window.
    refresh();
}
