#include "VellLanguageChoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

namespace {
const QLatin1String English("english");

QString catalogueFileName(const QString &language)
{
    return QLatin1String("vell_") + language + QLatin1String(".qm");
}
} // namespace

VellLanguageChoice::VellLanguageChoice(
    const QString &settingsFile, const QString &systemLocaleName, const QString &catalogueDir)
    : catalogueDir(catalogueDir)
{
    const QSettings settings(settingsFile, QSettings::IniFormat);
    const QStringList discovered = discoveredLanguages(catalogueDir);
    const int defaultIndex = qMax(0, discovered.indexOf(systemLocaleName));

    languageList = settings.value(QStringLiteral("General/language"), discovered).toStringList();
    int index = settings.value(QStringLiteral("language/selected"), defaultIndex).toInt();
    if (index < 0 || index >= languageList.size()) {
        index = 0;
    }
    // An empty list in the settings leaves nothing to choose: the built-in texts stay.
    chosen = languageList.isEmpty() ? QString(English) : languageList.at(index);
}

QString VellLanguageChoice::clientSettingsFile()
{
    return QDir::homePath() + QLatin1String("/.Vellnet/settings/globals");
}

QStringList VellLanguageChoice::discoveredLanguages(const QString &catalogueDir)
{
    QStringList languages {English};
    const QStringList files
        = QDir(catalogueDir).entryList({QStringLiteral("*.qm")}, QDir::Files, QDir::Unsorted);
    for (QString name : files) {
        name.remove(QLatin1String("vell_"));
        name.remove(QLatin1String(".qm"));
        languages << name;
    }
    return languages;
}

QString VellLanguageChoice::cataloguePath(const QString &applicationDir) const
{
    if (chosen == English) {
        return QString();
    }
    const QString besideProgram
        = applicationDir + QLatin1String("/languages/") + catalogueFileName(chosen);
    if (QFileInfo::exists(besideProgram)) {
        return besideProgram;
    }
    return catalogueDir + QLatin1Char('/') + catalogueFileName(chosen);
}

bool VellLanguageChoice::install(QTranslator &translator, const QString &applicationDir) const
{
    const QString path = cataloguePath(applicationDir);
    if (path.isEmpty() || !translator.load(path)) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

bool VellLanguageChoice::installQtCatalogue(
    QTranslator &translator, const QString &translationsDir) const
{
    if (chosen == English) {
        return false;
    }
    // Tries "qtbase_pl_PL.qm", then "qtbase_pl.qm".
    if (!translator.load(
            QLocale(chosen), QStringLiteral("qtbase"), QStringLiteral("_"), translationsDir)) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}
