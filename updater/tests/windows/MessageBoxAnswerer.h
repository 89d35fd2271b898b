#ifndef MESSAGEBOXANSWERER_H
#define MESSAGEBOXANSWERER_H

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

/**
 * Answers the modal message boxes of the code under test: every 20 ms it
 * looks for the active modal box, records its title and text and clicks the
 * next queued answer (Ok once the queue is empty).
 */
class MessageBoxAnswerer : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxAnswerer(QList<QMessageBox::StandardButton> answers = {})
        : answers(answers)
    {
        connect(&timer, &QTimer::timeout, this, &MessageBoxAnswerer::answer);
        timer.start(20);
    }

    QStringList titles;
    QStringList texts;
    /** Runs while each box is up, before it is answered. */
    std::function<void()> whileShown;

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        titles << box->windowTitle();
        texts << box->text();
        if (whileShown)
            whileShown();
        const QMessageBox::StandardButton wanted
            = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
        QAbstractButton *button = box->button(wanted);
        if (button)
            button->click();
        else
            box->reject(); // an unexpected box must not hang the test
    }

    QList<QMessageBox::StandardButton> answers;
    QTimer timer;
};

#endif // MESSAGEBOXANSWERER_H
