#ifndef CHILDPROCESSMEASURE_H
#define CHILDPROCESSMEASURE_H

#include <QString>
#include <QStringList>

#include <vector>

/// Wall time and peak resident memory of one child process, measured alone.
struct Measure
{
    bool ok = false; ///< the child ran and exited with status 0
    double seconds = 0;
    double peakMiB = 0;
};

/// Runs @p program with @p arguments and measures the child alone.
Measure measure(const QString &program, const QStringList &arguments);

/// The middle value (the upper one of an even count); 0 for none.
double median(std::vector<double> values);

#endif // CHILDPROCESSMEASURE_H
