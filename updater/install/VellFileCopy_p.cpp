#include "VellFileCopy_p.h"

#include "VellInstallHeartbeat.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace VellFileCopy {

bool copy(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return false;
    }
    std::array<char, 64 * 1024> buffer;
    bool ok = true;
    for (;;) {
        const qint64 read = in.read(buffer.data(), qint64(buffer.size()));
        if (read <= 0) {
            ok = read == 0;
            break;
        }
        if (out.write(buffer.data(), read) != read) {
            ok = false;
            break;
        }
        VellInstallHeartbeat::beat();
    }
    ok = ok && out.flush() && out.setPermissions(in.permissions());
    out.close();
    if (!ok || out.error() != QFileDevice::NoError) {
        out.remove();
        return false;
    }
    return true;
}

void syncFileSystemOf(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

} // namespace VellFileCopy
