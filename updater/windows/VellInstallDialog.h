#ifndef VELLINSTALLDIALOG_H
#define VELLINSTALLDIALOG_H

#include <QObject>

class QProgressBar;
class QWidget;
class VellUpdaterEngine;

/**
 * Controller of the installation window: shows the window, then runs the
 * engine's whole installation inside its constructor and opens the summary
 * window when it ends. It deletes itself when its window closes.
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
    VellUpdaterEngine *engine;
    QWidget *form = nullptr;
    QProgressBar *progressBar = nullptr;
    bool installing = false;
};

#endif // VELLINSTALLDIALOG_H
