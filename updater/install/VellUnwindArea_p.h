#ifndef VELLUNWINDAREA_P_H
#define VELLUNWINDAREA_P_H

#include <QString>
#include <QStringList>

/**
 * The backup area of one installation directory below the work directory:
 * what every file touched during the run was before its first change.
 *
 *   saved/<relative name>   the bytes a file had (a copy keeps its permissions)
 *   absent/<relative name>  an empty marker: no file was there
 *   created-dirs            folders made for new files, one percent-encoded
 *                           relative name per line
 *
 * The first record of a name in a run wins, so every package of the run that
 * touches the name restores the same state. Not installed.
 */
class VellUnwindArea
{
public:
    enum class State { Unknown, Saved, Absent };

    explicit VellUnwindArea(const QString &dir);

    /**
     * Makes the unwind root @p root this process's own: records left behind by
     * an earlier run that never finished (a crash) would otherwise pass for
     * the state before this run, so they are cleared the first time a run
     * uses the root.
     */
    static bool claimForThisRun(const QString &root);

    State stateOf(const QString &relative) const;
    QString savedPath(const QString &relative) const;

    /// Copies @p file as the saved state of @p relative.
    bool save(const QString &file, const QString &relative, QString &errorText) const;
    bool recordAbsent(const QString &relative, QString &errorText) const;
    bool recordCreatedDir(const QString &relative, QString &errorText) const;
    /// The folders created for new files, deepest first.
    QStringList createdDirs() const;

private:
    QString absentPath(const QString &relative) const;
    QString createdDirsPath() const;

    QString dir;
};

#endif // VELLUNWINDAREA_P_H
