#ifndef VELLUPDATERPROGRAM_H
#define VELLUPDATERPROGRAM_H

#include <QStringList>

#include <functional>

/**
 * What the updater program does once its application and translation stand:
 * checks for updates and, when there are some, runs the chain of windows.
 */
class VellUpdaterProgram
{
public:
    /**
     * Makes sure no other updater runs and rolls back an interrupted
     * installation (VellRunGuard), then checks for updates and runs the
     * windows. Returns the program's exit status: 0 when another updater
     * runs, the check failed or nothing is available, the event
     * loop's value after the windows ran, 1 when an exception escaped.
     * Quiet mode starts with the download window and does not report that
     * nothing is available.
     */
    static int run(bool quiet);

    /**
     * Runs body and returns its value; an exception that escapes it gives 1,
     * after a box with its message when it is a standard exception.
     */
    static int guarded(const std::function<int()> &body);
};

#endif // VELLUPDATERPROGRAM_H
