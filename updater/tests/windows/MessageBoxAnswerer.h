#ifndef MESSAGEBOXANSWERER_H
#define MESSAGEBOXANSWERER_H

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>

/**
 * Answers modal message boxes as they appear, one queued button per box
 * (Ok when the queue is empty), and records their titles, texts and looks.
 */
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QVector<QMessageBox::StandardButton> answers = {});

    QStringList titles;
    QStringList texts;
    /**
     * Icon, buttons, default button and parent of each box, as
     * "Critical [Ok] default Ok, no parent".
     */
    QStringList looks;
    /** Runs just before a box is answered, with the box's index. */
    std::function<void(int)> beforeAnswer;

private:
    void answerActiveBox();

    QVector<QMessageBox::StandardButton> answers;
    QTimer timer;
};

#endif // MESSAGEBOXANSWERER_H
