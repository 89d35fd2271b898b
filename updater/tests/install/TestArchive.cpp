#include "TestArchive.h"

#include <QFile>

#include <zip.h>

bool TestArchive::write(const QString &path, const QVector<Entry> &entries)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip) {
        return false;
    }
    bool ok = true;
    for (const Entry &entry : entries) {
        zip_fileinfo info {};
        ok = ok
            && zipOpenNewFileInZip64(zip, entry.first.constData(), &info, nullptr, 0, nullptr, 0,
                   nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0)
                == ZIP_OK
            && zipWriteInFileInZip(
                   zip, entry.second.constData(), static_cast<unsigned>(entry.second.size()))
                == ZIP_OK
            && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}
