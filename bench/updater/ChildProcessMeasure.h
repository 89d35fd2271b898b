#ifndef CHILDPROCESSMEASURE_H
#define CHILDPROCESSMEASURE_H

#include <QString>
#include <QStringList>

/// Wall time and peak resident memory of one child process, measured alone.
struct Measure
{
    bool ok = false; ///< the child ran and exited with status 0
    double seconds = 0;
    double peakMiB = 0;
};

/// Runs @p program with @p arguments and measures the child alone.
Measure measure(const QString &program, const QStringList &arguments);

#endif // CHILDPROCESSMEASURE_H
