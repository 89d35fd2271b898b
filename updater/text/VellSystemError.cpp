#include "VellSystemError.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace {

struct Reason
{
    int code;
    // The C library's own words, so that an English run reads as before.
    struct
    {
        const char *source;
        const char *comment;
    } text;
};

// The reasons that an installation or a download meets.
const Reason Translated[] = {
    {EPERM, QT_TRANSLATE_NOOP3("translation", "Operation not permitted", "system error")},
    {EACCES, QT_TRANSLATE_NOOP3("translation", "Permission denied", "system error")},
    {EROFS, QT_TRANSLATE_NOOP3("translation", "Read-only file system", "system error")},
    {ENOSPC, QT_TRANSLATE_NOOP3("translation", "No space left on device", "system error")},
    {EDQUOT, QT_TRANSLATE_NOOP3("translation", "Disk quota exceeded", "system error")},
    {ENOENT, QT_TRANSLATE_NOOP3("translation", "No such file or directory", "system error")},
    {ENOTDIR, QT_TRANSLATE_NOOP3("translation", "Not a directory", "system error")},
    {EISDIR, QT_TRANSLATE_NOOP3("translation", "Is a directory", "system error")},
    {EEXIST, QT_TRANSLATE_NOOP3("translation", "File exists", "system error")},
    {ENOTEMPTY, QT_TRANSLATE_NOOP3("translation", "Directory not empty", "system error")},
    {EIO, QT_TRANSLATE_NOOP3("translation", "Input/output error", "system error")},
    {EBUSY, QT_TRANSLATE_NOOP3("translation", "Device or resource busy", "system error")},
    {ETXTBSY, QT_TRANSLATE_NOOP3("translation", "Text file busy", "system error")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP3("translation", "File name too long", "system error")},
    {ELOOP, QT_TRANSLATE_NOOP3("translation", "Too many levels of symbolic links", "system error")},
    {EXDEV, QT_TRANSLATE_NOOP3("translation", "Invalid cross-device link", "system error")},
    {EMFILE, QT_TRANSLATE_NOOP3("translation", "Too many open files", "system error")},
    {EFBIG, QT_TRANSLATE_NOOP3("translation", "File too large", "system error")},
};

QString cLibraryText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString translated(const Reason &reason)
{
    return QCoreApplication::translate("translation", reason.text.source, reason.text.comment);
}

} // namespace

QString VellSystemError::text(int code)
{
    for (const Reason &reason : Translated) {
        if (reason.code == code) {
            return translated(reason);
        }
    }
    return cLibraryText(code);
}

QString VellSystemError::fromText(const QString &systemText)
{
    for (const Reason &reason : Translated) {
        if (systemText == cLibraryText(reason.code)) {
            return translated(reason);
        }
    }
    return systemText;
}
