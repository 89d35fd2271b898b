#ifndef VELLUPDATESCREENING_H
#define VELLUPDATESCREENING_H

#include <QString>
#include <QStringList>
#include <QVector>

class Update;

/**
 * Sorts the offered updates before anything is downloaded: those this run
 * installs, and those it leaves alone with one paragraph each for the box
 * before the change log (VellInstallNotice). A package manager's program
 * folder leaves every "app" update alone; any update whose folder this process
 * cannot install into (VellInstallability) is left alone too.
 */
class VellUpdateScreening
{
public:
    struct Result
    {
        QVector<Update *> toInstall; ///< in the offered order
        QStringList paragraphs; ///< empty when nothing is left alone
    };

    VellUpdateScreening() = delete;

    /**
     * @p programDir and @p pluginDir are where "app" and "plugin" components
     * go; @p dpkgAdminDir as for VellInstallationOwner::of().
     */
    static Result screen(const QVector<Update *> &offered, const QString &programDir,
        const QString &pluginDir, const QString &dpkgAdminDir = QString());
};

#endif // VELLUPDATESCREENING_H
