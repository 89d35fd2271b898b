#include "VellRunGuard.h"

#include "VellInstallRecovery.h"
#include "VellSystemError.h"
#include "VellText.h"
#include "VellUpdatePackage.h"
#include "VellUserPrompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

QString title()
{
    return VellText::tr("Update", "program update");
}

QString anotherUpdateRuns()
{
    return VellText::tr("Another update is already running.", "program update");
}

} // namespace

VellRunGuard::VellRunGuard(VellUserPrompt &prompt, bool quiet)
    : prompt(prompt)
    , quiet(quiet)
    , lockPath(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
          + QLatin1String("/vell-updater.lock"))
    , installDirs(
          {VellUpdatePackage::installDirFor("app"), VellUpdatePackage::installDirFor("plugin")})
{ }

VellRunGuard::~VellRunGuard()
{
    if (lockFd >= 0) {
        ::unlink(QFile::encodeName(lockPath).constData());
        ::close(lockFd);
    }
}

bool VellRunGuard::claim()
{
    switch (takeLock()) {
    case Lock::Taken:
        recoverInterruptedRuns();
        return true;
    case Lock::Busy:
        if (!quiet) {
            prompt.tellInformation(title(), anotherUpdateRuns());
        }
        return false;
    case Lock::Refused:
        if (!quiet) {
            prompt.tellError(title(), refusal);
        }
        return false;
    }
    return false;
}

VellRunGuard::Lock VellRunGuard::takeLock()
{
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    const QByteArray path = QFile::encodeName(lockPath);
    const QString shownPath = QDir::toNativeSeparators(lockPath);
    const auto refuse = [this, &shownPath](const QString &reason) {
        if (lockFd >= 0) {
            ::close(lockFd);
            lockFd = -1;
        }
        refusal = VellText::tr("The update cannot start: its lock file %1 cannot be used (%2).",
            "program update: %1 is the lock file, %2 the reason")
                      .arg(shownPath, reason);
        return Lock::Refused;
    };
    // The lock file goes with the updater that held it (so that nothing is
    // left behind); one that took the lock on a file removed meanwhile tries
    // again on the new one. Without the lock nothing runs: a link, a folder or
    // someone else's file in its place must not let a second updater past.
    for (int attempt = 0; attempt < 10; ++attempt) {
        lockFd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
            S_IRUSR | S_IWUSR);
        if (lockFd < 0) {
            return refuse(VellSystemError::text(errno));
        }
        struct stat locked;
        if (::fstat(lockFd, &locked) != 0) {
            return refuse(VellSystemError::text(errno));
        }
        if (!S_ISREG(locked.st_mode) || locked.st_uid != ::geteuid()) {
            return refuse(VellText::tr("not a regular file of this user's",
                "program update: why the lock file cannot be used"));
        }
        // flock() goes with the process: the lock of one that died is free again.
        if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                return refuse(VellSystemError::text(errno));
            }
            ::close(lockFd);
            lockFd = -1;
            return Lock::Busy;
        }
        struct stat named;
        if (::lstat(path.constData(), &named) == 0 && locked.st_ino == named.st_ino
            && locked.st_dev == named.st_dev) {
            return Lock::Taken;
        }
        ::close(lockFd);
        lockFd = -1;
    }
    return Lock::Busy;
}

void VellRunGuard::recoverInterruptedRuns()
{
    QStringList unrestored;
    switch (VellInstallRecovery::recoverInterruptedRuns(installDirs, unrestored)) {
    case VellInstallRecovery::Outcome::NothingToDo:
    case VellInstallRecovery::Outcome::Busy:
        break; // a run of another user's updater is left to it
    case VellInstallRecovery::Outcome::Restored:
        if (!quiet) {
            prompt.tellInformation(title(),
                VellText::tr("The previous update was interrupted. The previous version has been "
                             "restored.",
                    "program update"));
        }
        break;
    case VellInstallRecovery::Outcome::Failed:
        prompt.tellError(title(),
            VellText::tr(
                "The previous update was interrupted and could not be undone completely. These "
                "files could not be restored:\n%1\nThe updater tries again at its next start.",
                "program update")
                .arg(unrestored.join(QLatin1Char('\n'))));
        break;
    }
}
