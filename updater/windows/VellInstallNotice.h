#ifndef VELLINSTALLNOTICE_H
#define VELLINSTALLNOTICE_H

#include "VellInstallability.h"
#include "VellInstallationOwner.h"

#include <QString>
#include <QStringList>

/**
 * The texts of the one box, shown before the change log, that names the
 * offered updates this run leaves alone: those it cannot install (which
 * folder, why, and to ask the administrator) and the program updates that a
 * package manager installs (which version, which folder, through whom).
 */
class VellInstallNotice
{
public:
    VellInstallNotice() = delete;

    static QString title();
    /// One paragraph for component @p component that cannot be installed for @p verdict.
    static QString blocked(const QString &component, const VellInstallability::Verdict &verdict);
    /// One paragraph for version @p version of "app" component @p component in a managed
    /// installation.
    static QString managed(const QString &component, const QString &version,
        const VellInstallationOwner::Owner &owner);
    /// The whole box text around @p paragraphs; the updates not named go on.
    static QString text(const QStringList &paragraphs);
};

#endif // VELLINSTALLNOTICE_H
