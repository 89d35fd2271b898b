#ifndef VELLMESSAGEBOXPROMPT_H
#define VELLMESSAGEBOXPROMPT_H

#include "VellUserPrompt.h"

/**
 * Asks and tells the user through modal message boxes without a parent
 * window: a warning with Abort and Retry (Retry the default), a critical box
 * with Ok, an information box with Ok. Every box of the updater goes through
 * this class.
 */
class VellMessageBoxPrompt : public VellUserPrompt
{
public:
    bool askRetry(const QString &title, const QString &text) override;
    void tellError(const QString &title, const QString &text) override;
    void tellInformation(const QString &title, const QString &text) override;
};

#endif // VELLMESSAGEBOXPROMPT_H
