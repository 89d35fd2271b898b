#ifndef INTERLEAVED_H
#define INTERLEAVED_H

#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <vector>

/// The middle value (the mean of the two middle ones for an even count).
inline double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

/// Milliseconds that one call of @p run takes.
inline double timedMs(const std::function<void()> &run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return timer.nsecsElapsed() / 1e6;
}

/// Milliseconds of CPU time (user and system) that this process has used.
inline double processCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &time) { return time.tv_sec * 1e3 + time.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

/// Milliseconds that one call of @p run takes; the CPU time it used goes to @p cpuMs.
inline double timedMs(const std::function<void()> &run, std::vector<double> *cpuMs)
{
    const double cpuBefore = processCpuMs();
    const double wall = timedMs(run);
    cpuMs->push_back(processCpuMs() - cpuBefore);
    return wall;
}

/**
 * Two variants measured in turn, A B A B ..., so that both meet the same load
 * of a shared machine; each pair gives the ratio A / B.
 */
struct Interleaved
{
    std::vector<double> a, b, ratios;

    /// @p measureA and @p measureB each answer one figure (milliseconds, bytes, ...).
    Interleaved(
        const std::function<double()> &measureA, const std::function<double()> &measureB, int pairs)
    {
        for (int pair = 0; pair < pairs; ++pair) {
            a.push_back(measureA());
            b.push_back(measureB());
            ratios.push_back(b.back() > 0 ? a.back() / b.back() : 0);
        }
    }

    double medianA() const { return median(a); }
    double medianB() const { return median(b); }
    double medianRatio() const { return median(ratios); }
};

/**
 * Any number of variants measured in turn, A B C A B C ..., one round after
 * another; ratios are taken within each round.
 */
struct Rounds
{
    std::vector<std::vector<double>> figures; // per variant, one figure per round

    Rounds(const std::vector<std::function<double()>> &measures, int rounds)
        : figures(measures.size())
    {
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t variant = 0; variant < measures.size(); ++variant) {
                figures[variant].push_back(measures[variant]());
            }
        }
    }

    double medianOf(std::size_t variant) const { return median(figures.at(variant)); }

    /// The median over the rounds of variant @p a's figure over variant @p b's.
    double medianRatio(std::size_t a, std::size_t b) const
    {
        std::vector<double> ratios;
        for (std::size_t round = 0; round < figures.at(a).size(); ++round) {
            const double base = figures.at(b).at(round);
            ratios.push_back(base > 0 ? figures.at(a).at(round) / base : 0);
        }
        return median(ratios);
    }
};

#endif // INTERLEAVED_H
