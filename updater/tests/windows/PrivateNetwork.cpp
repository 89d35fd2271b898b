#include "PrivateNetwork.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
// The kernel takes an identity map only in one write(2) to the existing file.
bool writeProcFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return written;
}

QString lastError(const char *step)
{
    return QString::fromLatin1(step) + QLatin1String(": ")
        + QString::fromLocal8Bit(strerror(errno));
}
} // namespace

bool PrivateNetwork::enter(QString *reason)
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        *reason = lastError("unshare");
        return false;
    }
    // Map ourselves to root inside, which may bind ports below 1024 there.
    writeProcFile("/proc/self/setgroups", "deny");
    if (!writeProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
        || !writeProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1")) {
        *reason = lastError("id maps");
        return false;
    }

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        *reason = lastError("socket");
        return false;
    }
    ifreq request {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (!up) {
        *reason = lastError("loopback");
    }
    ::close(fd);
    return up;
}
