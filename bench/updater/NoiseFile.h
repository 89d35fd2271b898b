#ifndef NOISEFILE_H
#define NOISEFILE_H

#include <QString>

/**
 * Writes @p size deterministic bytes that deflate cannot shrink much (an
 * xorshift sequence started from @p seed) to @p path, making its folder.
 */
bool writeNoiseFile(const QString &path, qint64 size, quint64 seed = 0);

#endif // NOISEFILE_H
