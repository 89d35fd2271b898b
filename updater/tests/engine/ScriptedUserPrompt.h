#ifndef SCRIPTEDUSERPROMPT_H
#define SCRIPTEDUSERPROMPT_H

#include "VellUserPrompt.h"

#include <QStringList>
#include <QVector>

#include <functional>

/**
 * Stands for the user: records what the engine asks and tells ("askRetry",
 * "tellError", "tellInformation" with title and text) and answers each
 * askRetry() from a queue, giving up once the queue is empty.
 */
class ScriptedUserPrompt : public VellUserPrompt
{
public:
    enum Answer { Retry, Abort };

    explicit ScriptedUserPrompt(QVector<Answer> answers = {});

    bool askRetry(const QString &title, const QString &text) override;
    void tellError(const QString &title, const QString &text) override;
    void tellInformation(const QString &title, const QString &text) override;

    QStringList kinds;
    QStringList titles;
    QStringList texts;
    /** Runs inside askRetry(), before it answers, with the question's index in texts. */
    std::function<void(int)> beforeAnswer;

private:
    void record(const char *kind, const QString &title, const QString &text);

    QVector<Answer> answers;
};

#endif // SCRIPTEDUSERPROMPT_H
