#ifndef VELLRUNGUARD_H
#define VELLRUNGUARD_H

#include <QString>
#include <QStringList>

class VellUserPrompt;

/**
 * What the updater does before its update check: it makes sure that it is
 * the only updater running (a lock held until this object goes; the lock of
 * a process that died is free again), then rolls back the installation of an
 * earlier updater that was interrupted (VellInstallRecovery) and tells the
 * user. Information boxes are left out in quiet mode; errors never are.
 */
class VellRunGuard
{
public:
    VellRunGuard(VellUserPrompt &prompt, bool quiet);
    ~VellRunGuard();
    VellRunGuard(const VellRunGuard &) = delete;
    VellRunGuard &operator=(const VellRunGuard &) = delete;

    /// The lock file; by default in the user's runtime folder. Tests choose their own.
    void setLockPath(const QString &path) { lockPath = path; }
    /// Where interrupted runs are looked for; by default the "app" and "plugin" directories.
    void setInstallDirectories(const QStringList &dirs) { installDirs = dirs; }

    /**
     * Takes the lock and recovers interrupted runs. False when another
     * updater is running or the lock cannot be taken at all (lockRefused()):
     * the user has been told, and the program ends.
     */
    bool claim();
    /**
     * True after a claim that failed because the lock file cannot be used (a
     * link, a folder, another user's file, one that cannot be opened): no
     * updater may run without the lock, and the program ends with an error.
     */
    bool lockRefused() const { return !refusal.isEmpty(); }

private:
    enum class Lock { Taken, Busy, Refused };
    Lock takeLock();
    void recoverInterruptedRuns();

    VellUserPrompt &prompt;
    bool quiet;
    QString lockPath;
    QStringList installDirs;
    int lockFd = -1;
    QString refusal;
};

#endif // VELLRUNGUARD_H
