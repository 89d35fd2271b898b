#include "VellLanguageChoice.h"
#include "VellUpdaterProgram.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(updater);

    // Installed before the engine exists, so that every text it shows is translated.
    QTranslator translator;
    QTranslator qtTranslator;
    const VellLanguageChoice language(
        VellLanguageChoice::clientSettingsFile(), QLocale::system().name());
    // Qt's own texts (the message boxes' standard buttons) follow ours, never alone.
    if (language.install(translator, QCoreApplication::applicationDirPath())) {
        language.installQtCatalogue(
            qtTranslator, QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    }

    const bool quiet = VellUpdaterProgram::isQuiet(QApplication::arguments().mid(1));
    return VellUpdaterProgram::run(quiet);
}
