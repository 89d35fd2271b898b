#ifndef VELLINSTALLABILITY_H
#define VELLINSTALLABILITY_H

#include <QString>

/**
 * Whether this process could install into a folder, found out before anything
 * is downloaded for it: the folder exists or could be made, this process may
 * write it (checked with its effective ids, as the installation will run), its
 * file system is not mounted read-only, and the backup folder ".vell-unwind"
 * can be made or is usable inside it. Nothing is created or changed.
 */
class VellInstallability
{
public:
    enum class Reason {
        None, ///< the folder can be installed into
        NoFolder, ///< neither the folder nor a parent that could hold it exists
        NotWritable, ///< the folder, or the parent that would hold it, may not be written
        ReadOnlyFileSystem, ///< its file system is mounted read-only
        UnwindUnusable, ///< ".vell-unwind" exists and is no writable folder
    };

    struct Verdict
    {
        Reason reason = Reason::None;
        QString
            folder; ///< the folder the reason speaks of (the folder itself or its nearest parent)
        int errorCode = 0; ///< errno of the failed check, 0 when none

        bool canInstall() const { return reason == Reason::None; }
    };

    VellInstallability() = delete;

    static Verdict check(const QString &installDir);
};

#endif // VELLINSTALLABILITY_H
