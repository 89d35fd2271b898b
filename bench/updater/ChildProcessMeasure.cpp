#include "ChildProcessMeasure.h"

#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

Measure measure(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> storage {QFile::encodeName(program)};
    for (const QString &argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char *> argv;
    for (QByteArray &item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    Measure result;
    int status = 0;
    rusage usage {};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        result.seconds = timer.nsecsElapsed() / 1e9;
        result.peakMiB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
        result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}
