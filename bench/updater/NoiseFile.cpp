#include "NoiseFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

bool writeNoiseFile(const QString &path, qint64 size, quint64 seed)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    std::vector<quint64> chunk(64 * 1024 / sizeof(quint64));
    quint64 state = seed * 0x9E3779B97F4A7C15ULL + 0x9E3779B97F4A7C15ULL;
    for (qint64 written = 0; written < size;) {
        for (quint64 &word : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const qint64 part = qMin<qint64>(size - written, qint64(chunk.size() * sizeof(quint64)));
        if (file.write(reinterpret_cast<const char *>(chunk.data()), part) != part) {
            return false;
        }
        written += part;
    }
    return true;
}
