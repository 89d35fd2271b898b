#ifndef NETNSTESTMAIN_H
#define NETNSTESTMAIN_H

// A test main for tests that serve HTTP on port 80: the program first runs
// itself again inside a private user and network namespace
// (tools/updateserver/run-in-netns.sh), where loopback port 80 is free for
// anybody and nothing is visible from outside. The given host names resolve
// to 127.0.0.1 there.

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <unistd.h>
#include <vector>

inline void reexecInNetworkNamespace(
    int argc, char **argv, std::initializer_list<const char *> hosts)
{
    if (qEnvironmentVariableIsSet("VELL_IN_NETNS"))
        return;
    static char bash[] = "/bin/bash";
    static char runner[] = VELL_TOOLS_DIR "/updateserver/run-in-netns.sh";
    static char hostOption[] = "--host";
    static char endOfOptions[] = "--";
    std::vector<char *> arguments {bash, runner};
    for (const char *host : hosts) {
        arguments.push_back(hostOption);
        arguments.push_back(const_cast<char *>(host));
    }
    arguments.push_back(endOfOptions);
    for (int i = 0; i < argc; ++i)
        arguments.push_back(argv[i]);
    arguments.push_back(nullptr);
    ::execv(bash, arguments.data());
    std::perror("cannot run the test inside a network namespace");
    ::_exit(127);
}

#define VELL_NETNS_TEST_MAIN(TestObject, ...)                                                      \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        reexecInNetworkNamespace(argc, argv, {__VA_ARGS__});                                       \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#endif // NETNSTESTMAIN_H
