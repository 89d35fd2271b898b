#ifndef VELLUSERPROMPT_H
#define VELLUSERPROMPT_H

#include <QString>

/**
 * What the engine asks or tells the user while it works. The windows answer
 * with modal message boxes; tests answer from a script, without a display.
 * Every call returns once the user has answered.
 */
class VellUserPrompt
{
public:
    virtual ~VellUserPrompt() = default;

    /** A step failed: true when the user wants it tried again, false to give up. */
    virtual bool askRetry(const QString &title, const QString &text) = 0;
    /** Reports a failure. */
    virtual void tellError(const QString &title, const QString &text) = 0;
    /** Reports something that is not a failure. */
    virtual void tellInformation(const QString &title, const QString &text) = 0;
};

#endif // VELLUSERPROMPT_H
