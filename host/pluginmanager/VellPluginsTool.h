#ifndef VELLPLUGINSTOOL_H
#define VELLPLUGINSTOOL_H

#include <QStringList>

class QTextStream;
class VellPlugin;

/// The `vell-plugins` command line, so that a person can try a plug-in file by hand:
///
///     vell-plugins [--translation FILE.qm] info PLUGIN
///     vell-plugins [--translation FILE.qm] filter PLUGIN ROSTER-FILE
///
/// "info" prints the plug-in's descriptive data; "filter" prints, for every
/// entry of the roster file (see VellRosterFile), "yes" when the plug-in's
/// filter shows it and "no" when it hides it, then how many it shows.
class VellPluginsTool
{
public:
    enum ExitCode {
        Success = 0,
        Failure = 1,
        UsageError = 2,
    };

    /// Runs the command given by @p arguments (the program name first).
    static int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

private:
    static int info(const QString &pluginPath, QTextStream &out, QTextStream &err);
    static int filter(
        const QString &pluginPath, const QString &rosterPath, QTextStream &out, QTextStream &err);
    static void printInfo(VellPlugin &plugin, QTextStream &out);
};

#endif // VELLPLUGINSTOOL_H
