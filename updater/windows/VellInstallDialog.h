#ifndef VELLINSTALLDIALOG_H
#define VELLINSTALLDIALOG_H

#include <QObject>
#include <QPointer>

class QProgressBar;
class QWidget;
class VellUpdaterEngine;

/**
 * Controller of the installation window: shows the window, waits until it is
 * on screen, then runs the engine's whole installation inside its constructor
 * and opens the summary window when it ends. The window is repainted as the
 * installation goes (each package's name, the bar) although the event loop
 * does not run meanwhile. It deletes itself when its window closes.
 */
class VellInstallDialog : public QObject
{
    Q_OBJECT

public:
    explicit VellInstallDialog(VellUpdaterEngine *engine);

public slots:
    /** The installation (or its rollback) ended: on to the summary window. */
    void finished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();
    void waitUntilOnScreen();

    VellUpdaterEngine *engine;
    // Guarded: the heartbeat must not paint a window that is already gone.
    QPointer<QWidget> form;
    QProgressBar *progressBar = nullptr;
    bool installing = false;
};

#endif // VELLINSTALLDIALOG_H
