#ifndef VELLLANGUAGECHOICE_H
#define VELLLANGUAGECHOICE_H

#include <QString>
#include <QStringList>

class QTranslator;

/**
 * The user-interface language that the client's settings choose, and the
 * catalogue that translates the updater into it.
 *
 * The languages offered are "english" (the built-in texts) followed by one
 * entry per compiled-in catalogue ("vell_pl_PL.qm" gives "pl_PL"). The
 * client's settings may replace that list ("General/language") and select an
 * entry by index ("language/selected"); without a selection the system
 * locale's language is taken when a catalogue exists for it.
 */
class VellLanguageChoice
{
public:
    /**
     * settingsFile: the client's INI settings (it need not exist);
     * systemLocaleName: as QLocale::name() gives it, e.g. "pl_PL";
     * catalogueDir: where the compiled-in catalogues lie.
     */
    VellLanguageChoice(const QString &settingsFile, const QString &systemLocaleName,
        const QString &catalogueDir = QStringLiteral(":/languages"));

    /** The client's settings file: home directory + "/.Vellnet/settings/globals". */
    static QString clientSettingsFile();

    /** "english" followed by the languages of the catalogues in catalogueDir, in its order. */
    static QStringList discoveredLanguages(const QString &catalogueDir);

    /** The list the settings offer (or the discovered one). */
    QStringList languages() const { return languageList; }
    /** The chosen language; "english" when the settings leave nothing to choose from. */
    QString language() const { return chosen; }

    /**
     * The catalogue of the chosen language: the one in applicationDir +
     * "/languages" when that file exists, else the compiled-in one. Empty for
     * "english", which needs none.
     */
    QString cataloguePath(const QString &applicationDir) const;

    /**
     * Loads the chosen language's catalogue into translator and installs it
     * on the application. Returns false (and installs nothing) for "english"
     * or when the catalogue cannot be loaded.
     */
    bool install(QTranslator &translator, const QString &applicationDir) const;

    /**
     * Loads Qt's own catalogue of the chosen language ("qtbase_pl.qm" for
     * "pl_PL") from translationsDir and installs it, so that standard buttons
     * and dialogs speak the language of the updater's texts. Returns false
     * (and installs nothing) for "english" or when Qt has no such catalogue.
     */
    bool installQtCatalogue(QTranslator &translator, const QString &translationsDir) const;

private:
    QString catalogueDir;
    QStringList languageList;
    QString chosen;
};

#endif // VELLLANGUAGECHOICE_H
