#ifndef VELLSUMMARYDIALOG_H
#define VELLSUMMARYDIALOG_H

#include <QObject>

class QPlainTextEdit;
class QPushButton;
class QWidget;
class VellUpdaterEngine;

/**
 * Controller of the last window: the result of the installation and its log.
 * "View details" hides and shows the log; Close, Return and Escape close the
 * window, which ends the run; the controller deletes itself with it.
 */
class VellSummaryDialog : public QObject
{
    Q_OBJECT

public:
    explicit VellSummaryDialog(VellUpdaterEngine *engine);

private:
    void toggleDetails();
    void setDetailsShown(bool shown);

    VellUpdaterEngine *engine;
    QWidget *form = nullptr;
    QPlainTextEdit *details = nullptr;
    QPushButton *viewDetailsButton = nullptr;
    int heightWithDetails = 0;
};

#endif // VELLSUMMARYDIALOG_H
