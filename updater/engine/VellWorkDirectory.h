#ifndef VELLWORKDIRECTORY_H
#define VELLWORKDIRECTORY_H

#include <QString>
#include <QTemporaryDir>

#include <memory>

/**
 * The directory that receives the downloaded packages. The preferred path
 * lies in the shared temporary folder, so it is used only when it is a real
 * directory (not a symbolic link) owned by this user and writable by nobody
 * else; it is created with mode 0700 when missing. Otherwise a fresh private
 * directory takes its place, removed again with this object.
 */
class VellWorkDirectory
{
public:
    explicit VellWorkDirectory(const QString &preferredPath);
    ~VellWorkDirectory();

    VellWorkDirectory(const VellWorkDirectory &) = delete;
    VellWorkDirectory &operator=(const VellWorkDirectory &) = delete;

    /** The directory in use, with a trailing slash; empty when none could be made. */
    QString path() const { return usedPath; }
    bool isPreferred() const { return !fallback; }

    /** True when path is a real directory of this user that nobody else may write to. */
    static bool isPrivateDirectory(const QString &path);

private:
    QString usedPath;
    std::unique_ptr<QTemporaryDir> fallback;
};

/**
 * Deletes every file below path, hidden ones included; the directories
 * themselves stay. Symbolic links are removed, never followed.
 */
void removeDir(const QString &path);

#endif // VELLWORKDIRECTORY_H
