#ifndef VELLROOTDIRECTORY_P_H
#define VELLROOTDIRECTORY_P_H

#include "VellFileSystem_p.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVector>

#include <sys/types.h>

#include <cerrno>

#include <functional>
#include <utility>

/**
 * An installation directory held open, and every name below it reached from
 * that descriptor. The directory itself may be reached through symbolic
 * links (an /opt/vell that is one); below it, each folder is resolved anew
 * for each change, so that a folder swapped for a link between a check and
 * the change is seen at the change. A link on the way is followed while it
 * stays beneath the directory (a "share -> share-2" of the installation's
 * own); one that leads out, an absolute one and a ".." above the directory
 * are refused with LeadsOut. The last component of an entry is never
 * followed: changes act on the name itself (a link there is replaced as a
 * link).
 *
 * Resolution is the kernel's (openat2 with RESOLVE_BENEATH) where it has
 * it, otherwise a walk component by component that reads each link itself.
 * Not installed.
 */
class VellRootDirectory
{
public:
    /// The error of a resolution that a link or ".." would take out of the directory.
    static constexpr int LeadsOut = EXDEV;

    /// For tests: every resolution walks component by component, as on kernels without openat2.
    static void forceWalk(bool forced);

    explicit VellRootDirectory(const QString &path);

    bool isOpen() const { return root.isValid(); }
    /// Why the directory could not be opened (an errno value), 0 when it is open.
    int openError() const { return rootError; }
    const QString &path() const { return rootPath; }
    int fd() const { return root.get(); }
    /// The full path of @p relative, for messages and the flush batch.
    QString pathOf(const QString &relative) const;

    /**
     * Folders no resolution may end in (the installer's own area), nor in
     * a folder directly inside one, by identity, since a link may lead
     * there under any name.
     */
    void fence(int folder);

    /**
     * The folder @p relative (empty: the directory itself) as an O_PATH
     * descriptor; invalid with @p error an errno value or LeadsOut.
     */
    VellFileSystem::FileDescriptor openFolder(const QString &relative, int &error) const;

    /// A name below the directory: its folder, resolved, and its last component, not followed.
    struct Entry
    {
        VellFileSystem::FileDescriptor folder;
        QByteArray name;
    };
    /// False with @p error when the folder of @p relative cannot be resolved.
    bool entry(const QString &relative, Entry &found, int &error) const;

    /**
     * Makes the missing folders on the way to and including @p relative;
     * @p known spares asking twice. @p made hears each folder it creates.
     * False with the failing folder in @p failed and @p error (ENOTDIR
     * where a file stands in the way).
     */
    bool makeFolders(const QString &relative, QSet<QString> &known,
        const std::function<void(const QString &made)> &made, QString &failed, int &error) const;

    /// The reason text for @p error from this class (LeadsOut named as such).
    QString reason(int error) const;
    /// "<text>: <reason>", with reason().
    QString withReason(const QString &text, int error) const;

private:
    VellFileSystem::FileDescriptor resolveInKernel(const QByteArray &path, int &error) const;
    VellFileSystem::FileDescriptor walk(const QByteArray &path, int &error) const;
    bool isFenced(int folder) const;

    QString rootPath;
    VellFileSystem::FileDescriptor root;
    int rootError = 0;
    QVector<std::pair<dev_t, ino_t>> fences;
};

#endif // VELLROOTDIRECTORY_P_H
