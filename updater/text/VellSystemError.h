#ifndef VELLSYSTEMERROR_H
#define VELLSYSTEMERROR_H

#include <QString>

/**
 * Why a system call failed, in the user's language: the C library's text
 * (strerror) only speaks the language of the process's locale, which need not
 * be the one the client's settings chose, so the reasons that an installation
 * or a download meets have translations of their own; any other reason keeps
 * the C library's text.
 */
class VellSystemError
{
public:
    VellSystemError() = delete;

    /// The reason for errno value @p code.
    static QString text(int code);
    /**
     * The same for a reason that Qt already turned into text (a QFile's
     * errorString(), which is the C library's text): a reason of its own
     * is translated, any other text comes back as it is.
     */
    static QString fromText(const QString &systemText);
};

#endif // VELLSYSTEMERROR_H
