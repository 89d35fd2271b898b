#ifndef VELLCHANGELOGDIALOG_H
#define VELLCHANGELOGDIALOG_H

#include <QObject>
#include <QString>
#include <QVector>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class Update;
class VellUpdaterEngine;

/**
 * Controller of the first window of an update run: tells the user that updates
 * are available, shows their change logs on request and starts the download.
 * It deletes itself when its window closes.
 */
class VellChangelogDialog : public QObject
{
    Q_OBJECT

public:
    explicit VellChangelogDialog(VellUpdaterEngine *engine);

    /**
     * The text of the change-log box: one block per update, in list order,
     * separated by an empty line: the description, "Zmiany w wersji " and the
     * version, then the change log.
     */
    static QString changelogText(const QVector<Update *> &updates);

public slots:
    void toggleChangelog();
    void downloadNow();

private:
    VellUpdaterEngine *engine;
    QPlainTextEdit *details = nullptr;
    QPushButton *viewChangelogButton = nullptr;
    QWidget *form = nullptr;
};

#endif // VELLCHANGELOGDIALOG_H
