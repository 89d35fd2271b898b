#ifndef VELLUPDATERCOMMANDLINE_H
#define VELLUPDATERCOMMANDLINE_H

#include <QString>
#include <QStringList>

/**
 * The updater's command line: "-q" for a quiet run, "--help" (or "-h") and
 * "--version". Anything else is a usage error, so that a mistyped option
 * never starts an update run it did not ask for.
 */
class VellUpdaterCommandLine
{
public:
    enum class Action {
        Run, ///< an update run, quiet() or not
        Help, ///< print usageText() on stdout, exit 0
        Version, ///< print versionText() on stdout, exit 0
        UsageError, ///< print errorText() and usageText() on stderr, exit 2
    };

    /** Reads the arguments after the program name. */
    explicit VellUpdaterCommandLine(const QStringList &arguments);

    Action action() const { return chosen; }
    bool quiet() const { return quietRun; }
    /** Names the argument that was not understood. */
    QString errorText() const;

    static QString usageText();
    static QString versionText();

    /**
     * For every action but Run: prints what it calls for on stdout or stderr
     * and returns the exit status.
     */
    int answer() const;

private:
    Action chosen = Action::Run;
    bool quietRun = false;
    QString unknown;
};

#endif // VELLUPDATERCOMMANDLINE_H
