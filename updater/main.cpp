#include "VellLanguageChoice.h"
#include "VellUpdaterProgram.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(updater);

    // Installed before the engine exists, so that every text it shows is translated.
    QTranslator translator;
    const VellLanguageChoice language(
        VellLanguageChoice::clientSettingsFile(), QLocale::system().name());
    language.install(translator, QCoreApplication::applicationDirPath());

    const bool quiet = VellUpdaterProgram::isQuiet(QApplication::arguments().mid(1));
    return VellUpdaterProgram::run(quiet);
}
