#include "VellSystemError.h"

#include "VellText.h"

#include <cerrno>
#include <cstring>

QString VellSystemError::text(int code)
{
    // The English texts are the C library's own, so that an English run
    // reads exactly as before.
    switch (code) {
    case EPERM:
        return VellText::tr("Operation not permitted", "system error");
    case EACCES:
        return VellText::tr("Permission denied", "system error");
    case EROFS:
        return VellText::tr("Read-only file system", "system error");
    case ENOSPC:
        return VellText::tr("No space left on device", "system error");
    case EDQUOT:
        return VellText::tr("Disk quota exceeded", "system error");
    case ENOENT:
        return VellText::tr("No such file or directory", "system error");
    case ENOTDIR:
        return VellText::tr("Not a directory", "system error");
    case EISDIR:
        return VellText::tr("Is a directory", "system error");
    case EEXIST:
        return VellText::tr("File exists", "system error");
    case ENOTEMPTY:
        return VellText::tr("Directory not empty", "system error");
    case EIO:
        return VellText::tr("Input/output error", "system error");
    case EBUSY:
        return VellText::tr("Device or resource busy", "system error");
    case ETXTBSY:
        return VellText::tr("Text file busy", "system error");
    case ENAMETOOLONG:
        return VellText::tr("File name too long", "system error");
    case ELOOP:
        return VellText::tr("Too many levels of symbolic links", "system error");
    case EXDEV:
        return VellText::tr("Invalid cross-device link", "system error");
    case EMFILE:
        return VellText::tr("Too many open files", "system error");
    case EFBIG:
        return VellText::tr("File too large", "system error");
    default:
        return QString::fromLocal8Bit(std::strerror(code));
    }
}
