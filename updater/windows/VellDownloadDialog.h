#ifndef VELLDOWNLOADDIALOG_H
#define VELLDOWNLOADDIALOG_H

#include <QObject>
#include <QPointer>
#include <QString>

class QProgressBar;
class QWidget;
class VellUpdaterEngine;

/**
 * Controller of the download window: starts the engine's download once the
 * window is on screen, shows its progress, lets the user cancel it, and opens
 * the installation window when every package has arrived. It deletes itself
 * when its window closes.
 */
class VellDownloadDialog : public QObject
{
    Q_OBJECT

public:
    explicit VellDownloadDialog(VellUpdaterEngine *engine);

public slots:
    /** The download failed: closes the window and tells the user why. */
    void error(const QString &str);
    /** Every package arrived: on to the installation window. */
    void finished();

private:
    VellUpdaterEngine *engine;
    QProgressBar *progressBar = nullptr;
    // Guarded: the window may already be gone when the queued start runs.
    QPointer<QWidget> form;
};

#endif // VELLDOWNLOADDIALOG_H
