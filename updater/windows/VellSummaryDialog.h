#ifndef VELLSUMMARYDIALOG_H
#define VELLSUMMARYDIALOG_H

#include <QObject>

class VellUpdaterEngine;

/**
 * Controller of the last window: the result of the installation and its log.
 * Closing the window ends the run; the controller deletes itself with it.
 */
class VellSummaryDialog : public QObject
{
    Q_OBJECT

public:
    explicit VellSummaryDialog(VellUpdaterEngine *engine);

private:
    VellUpdaterEngine *engine;
};

#endif // VELLSUMMARYDIALOG_H
