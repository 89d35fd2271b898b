#ifndef TESTFILES_H
#define TESTFILES_H

// Small file helpers for the updater's tests.

#include <QByteArray>
#include <QString>
#include <QStringList>

/** Writes a file, creating its folders and replacing what was there; false on failure. */
bool writeFile(const QString &path, const QByteArray &contents);
/**
 * The file's bytes, or "<missing>" when it cannot be read: a missing file
 * never compares equal to an empty one, and a failed comparison says why.
 */
QByteArray readFile(const QString &path);
/** Every file below path (hidden ones too), relative to it, sorted; folders are not listed. */
QStringList filesBelow(const QString &path);

#endif // TESTFILES_H
