#include "ScriptedUserPrompt.h"

ScriptedUserPrompt::ScriptedUserPrompt(QVector<Answer> answers)
    : answers(std::move(answers))
{ }

bool ScriptedUserPrompt::askRetry(const QString &title, const QString &text)
{
    record("askRetry", title, text);
    if (beforeAnswer) {
        beforeAnswer(texts.size() - 1);
    }
    return !answers.isEmpty() && answers.takeFirst() == Retry;
}

void ScriptedUserPrompt::tellError(const QString &title, const QString &text)
{
    record("tellError", title, text);
}

void ScriptedUserPrompt::tellInformation(const QString &title, const QString &text)
{
    record("tellInformation", title, text);
}

void ScriptedUserPrompt::record(const char *kind, const QString &title, const QString &text)
{
    kinds << QLatin1String(kind);
    titles << title;
    texts << text;
}
