#ifndef NETNSTESTMAIN_H
#define NETNSTESTMAIN_H

// A test main for tests that serve HTTP on port 80: the program first runs
// itself again inside a private user and network namespace
// (tools/updateserver/run-in-netns.sh), where loopback port 80 is free for
// anybody and nothing is visible from outside. The given host names resolve
// to 127.0.0.1 there.

#include "EngineTestSupport.h"

#include <QCoreApplication>
#include <QtTest>

#define VELL_NETNS_TEST_MAIN(TestObject, ...)                                                      \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        reexecInNetworkNamespace(argc, argv, {__VA_ARGS__});                                       \
        QCoreApplication app(argc, argv);                                                          \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#endif // NETNSTESTMAIN_H
