#ifndef VELLPACKAGESIGNER_H
#define VELLPACKAGESIGNER_H

#include <QString>
#include <QStringList>

/**
 * Signs an update package with the real minisign program, so maintainers keep
 * their keys where minisign keeps them. The trusted comment binds the package
 * to its component and version; the updater refuses a package whose comment
 * names another one.
 */
class VellPackageSigner
{
public:
    explicit VellPackageSigner(const QString &secretKeyPath);

    /** The minisign program to run; "minisign" from PATH by default. */
    void setProgram(const QString &program) { this->program = program; }
    /**
     * Adds the pair expires=YYYY-MM-DDTHH:MM:SSZ (UTC) to the trusted comment:
     * past it, an updater refuses the package. False, with the reason, when
     * the text is not such a time.
     */
    bool setExpiry(const QString &utc, QString *errorText = nullptr);

    /** The arguments of "minisign -S" that sign archivePath into archivePath + ".minisig". */
    QStringList arguments(const QString &archivePath, const QString &project, const QString &name,
        const QString &type, const QString &version) const;
    /** The command line as a shell would take it, for maintainers to see and repeat. */
    QString commandLine(const QStringList &arguments) const;

    /**
     * Runs minisign with arguments; a password prompt reaches the terminal.
     * Returns false when it could not run or failed, with the reason in
     * errorText.
     */
    bool run(const QStringList &arguments, QString *errorText) const;

private:
    QString secretKeyPath;
    QString program = QStringLiteral("minisign");
    QString expiry;
};

#endif // VELLPACKAGESIGNER_H
