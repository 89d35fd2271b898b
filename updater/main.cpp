#include "VellLanguageChoice.h"
#include "VellUpdaterCommandLine.h"
#include "VellUpdaterProgram.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

/// Qt's own texts (the message boxes' standard buttons) follow ours, never alone.
void installTranslation(QTranslator &translator, QTranslator &qtTranslator)
{
    const VellLanguageChoice language(
        VellLanguageChoice::clientSettingsFile(), QLocale::system().name());
    if (language.install(translator, QCoreApplication::applicationDirPath())) {
        language.installQtCatalogue(
            qtTranslator, QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const VellUpdaterCommandLine commandLine(arguments);
    QTranslator translator;
    QTranslator qtTranslator;
    // Help, version and usage errors need no display and open no window.
    if (commandLine.action() != VellUpdaterCommandLine::Action::Run) {
        QCoreApplication app(argc, argv);
        installTranslation(translator, qtTranslator);
        return commandLine.answer();
    }

    QApplication app(argc, argv);
    Q_INIT_RESOURCE(updater);
    // Installed before the engine exists, so that every text it shows is translated.
    installTranslation(translator, qtTranslator);
    return VellUpdaterProgram::run(commandLine.quiet());
}
