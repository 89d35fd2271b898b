#include "VellPluginsTool.h"

#include "VellBuddy.h"
#include "VellFilterPlugin.h"
#include "VellPluginLoader.h"
#include "VellRosterFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <QTranslator>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VellPluginsTool", text);
}

QString orNone(const QString &value)
{
    return value.isEmpty() ? tr("(none)") : value;
}

QString listOrNone(const QStringList &values)
{
    return orNone(values.join(QLatin1String(", ")));
}

void printField(QTextStream &out, const QString &label, const QString &value)
{
    out << QString(label + QLatin1Char(':')).leftJustified(16) << value << '\n';
}

} // namespace

int VellPluginsTool::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Loads a roster plug-in the way the client does."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption translationOption(QStringLiteral("translation"),
        tr("Install the catalogue <file> before loading."), tr("file"));
    parser.addOption(translationOption);
    parser.addPositionalArgument(QStringLiteral("command"), tr("info or filter"));
    parser.addPositionalArgument(QStringLiteral("plugin"), tr("the plug-in file (.kwx)"));
    parser.addPositionalArgument(QStringLiteral("roster"),
        tr("for filter: the roster file, one entry a line:\n"
           "KIND ID PRESENCE [NAME]"),
        QStringLiteral("[roster]"));

    const auto usageError = [&](const QString &reason) {
        err << reason << '\n' << parser.helpText();
        return UsageError;
    };

    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        out << parser.helpText();
        return Success;
    }

    QTranslator translator;
    if (parser.isSet(translationOption)) {
        const QString catalogue = parser.value(translationOption);
        if (!translator.load(catalogue) || !QCoreApplication::installTranslator(&translator)) {
            err << tr("Cannot install the catalogue %1").arg(catalogue) << '\n';
            return Failure;
        }
    }

    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (command == QLatin1String("info") && positional.size() == 2) {
        return info(positional.at(1), out, err);
    }
    if (command == QLatin1String("filter") && positional.size() == 3) {
        return filter(positional.at(1), positional.at(2), out, err);
    }
    return usageError(tr("Expected \"info PLUGIN\" or \"filter PLUGIN ROSTER-FILE\"."));
}

int VellPluginsTool::info(const QString &pluginPath, QTextStream &out, QTextStream &err)
{
    VellPluginLoader loader;
    QString error;
    if (!loader.load(pluginPath, &error)) {
        err << error << '\n';
        return Failure;
    }
    printField(out, tr("file"), loader.fileName());
    printInfo(*loader.plugin(), out);
    if (const VellFilterPlugin *filter = loader.filterPlugin()) {
        printField(out, tr("roster filter"), filter->filterName());
    }
    return Success;
}

int VellPluginsTool::filter(
    const QString &pluginPath, const QString &rosterPath, QTextStream &out, QTextStream &err)
{
    QList<VellBuddy> roster;
    QString error;
    if (!VellRosterFile::read(rosterPath, &roster, &error)) {
        err << error << '\n';
        return Failure;
    }

    VellPluginLoader loader;
    if (!loader.load(pluginPath, &error)) {
        err << error << '\n';
        return Failure;
    }
    const VellFilterPlugin *filter = loader.filterPlugin();
    if (!filter) {
        err << tr("The plug-in %1 offers no roster filter").arg(loader.fileName()) << '\n';
        return Failure;
    }

    int shown = 0;
    for (const VellBuddy &buddy : qAsConst(roster)) {
        const bool show = filter->filter(buddy);
        shown += show ? 1 : 0;
        out << (show ? "yes" : "no") << '\t' << VellRosterFile::kindName(buddy.getType()) << '\t'
            << buddy.getId() << '\t' << buddy.getName() << '\n';
    }
    out << tr("\"%1\" shows %2 of %3 entries")
               .arg(filter->filterName())
               .arg(shown)
               .arg(roster.size())
        << '\n';
    return Success;
}

void VellPluginsTool::printInfo(VellPlugin &plugin, QTextStream &out)
{
    printField(out, tr("name"), plugin.name());
    printField(out, tr("friendly name"), plugin.friendlyName());
    printField(out, tr("description"), plugin.description());
    printField(out, tr("version"), QString::number(plugin.version()));
    printField(out, tr("author"), plugin.author());
    printField(out, tr("web"), plugin.web());
    printField(out, tr("email"), plugin.email());
    printField(out, tr("icon"), orNone(plugin.icon(0)));
    printField(out, tr("licence"), orNone(plugin.getLicenseName()));
    printField(out, tr("settings tags"), listOrNone(plugin.getSettingsTags()));
    printField(out, tr("settings links"), listOrNone(plugin.getSettingsLinks()));
    printField(out, tr("search phrases"), listOrNone(plugin.getSearchPhrases()));
    for (const VellService &service : plugin.getProvidedServices()) {
        const QString action
            = service.getAction().isNull() ? tr("default action") : tr("own action");
        printField(out, tr("service"),
            tr("%1 \"%2\", icon %3, %4")
                .arg(service.getId(), service.getName(), orNone(service.getIcon()), action));
    }
}
