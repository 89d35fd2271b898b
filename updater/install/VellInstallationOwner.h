#ifndef VELLINSTALLATIONOWNER_H
#define VELLINSTALLATIONOWNER_H

#include <QString>

/**
 * Who keeps the program folder up to date. When a package manager does, the
 * updater leaves the files of "app" components alone: replacing them would
 * put the package manager's records out of step with the disk, and removing
 * the package later would delete the replaced files.
 *
 * The setting "installation/managed-by" of the file updater.conf beside the
 * updater (written by the Debian package or by the build) says so. Without it
 * a program folder that dpkg lists among the files of a package counts as
 * dpkg's too.
 */
class VellInstallationOwner
{
public:
    enum class Source {
        None, ///< the updater keeps the program folder itself
        Setting, ///< updater.conf names the package manager
        Detected, ///< dpkg's records list the program folder
    };

    struct Owner
    {
        Source source = Source::None;
        QString manager; ///< "dpkg", or what the setting names; empty for Source::None
        QString programDir;

        bool isManaged() const { return source != Source::None; }
    };

    VellInstallationOwner() = delete;

    /// The file name of the setting, beside the updater program.
    static QString settingFileName();

    /**
     * Who owns @p programDir. @p dpkgAdminDir is dpkg's database (its "info"
     * folder holds one ".list" file per package); empty means dpkg's own
     * (/var/lib/dpkg) or, for tests, the environment's VELL_TEST_DPKG_ADMINDIR.
     */
    static Owner of(const QString &programDir, const QString &dpkgAdminDir = QString());

    /// True when a file list of dpkg's database at @p adminDir names @p dir or a file inside it.
    static bool dpkgLists(const QString &adminDir, const QString &dir);
};

#endif // VELLINSTALLATIONOWNER_H
