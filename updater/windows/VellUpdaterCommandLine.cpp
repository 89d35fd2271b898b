#include "VellUpdaterCommandLine.h"

#include "VellText.h"

#include <QTextStream>

VellUpdaterCommandLine::VellUpdaterCommandLine(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("-q")) {
            quietRun = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            chosen = Action::Help;
        } else if (argument == QLatin1String("--version")) {
            // --help wins when both are given.
            if (chosen != Action::Help) {
                chosen = Action::Version;
            }
        } else {
            chosen = Action::UsageError;
            unknown = argument;
            return;
        }
    }
}

QString VellUpdaterCommandLine::errorText() const
{
    // Translated here, not while parsing: the catalogue is installed after that.
    return VellText::tr("unknown argument: %1", "updater command line").arg(unknown);
}

QString VellUpdaterCommandLine::usageText()
{
    return VellText::tr("usage: updater [-q] [--help] [--version]\n"
                        "Checks for updates of the client and its plug-ins and installs them.\n"
                        "  -q         quiet: start with the download window, and say nothing "
                        "when no update is available\n"
                        "  --help     show this text and exit\n"
                        "  --version  show the updater's version and exit\n",
        "updater command line: --help");
}

QString VellUpdaterCommandLine::versionText()
{
    return VellText::tr("updater %1\n", "updater command line: --version")
        .arg(QStringLiteral(VELL_UPDATER_VERSION));
}

int VellUpdaterCommandLine::answer() const
{
    switch (chosen) {
    case Action::Help:
        QTextStream(stdout) << usageText();
        return 0;
    case Action::Version:
        QTextStream(stdout) << versionText();
        return 0;
    case Action::UsageError:
        QTextStream(stderr) << "updater: " << errorText() << '\n' << usageText();
        return 2;
    case Action::Run:
        break;
    }
    return 0;
}
