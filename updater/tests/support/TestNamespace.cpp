#include "TestNamespace.h"

#include <QByteArrayList>

#include <unistd.h>

#include <cstdio>
#include <vector>

bool TestNamespace::isInside(Kind kind, QString *errorText)
{
    const QByteArray name = kind == Network ? "network" : "mount";
    if (qgetenv("VELL_NAMESPACE").split(' ').contains(name)) {
        return true;
    }
    if (errorText) {
        *errorText = QStringLiteral(
            "needs a private %1 namespace: run it through CTest (vell_add_test's NAMESPACE %1) "
            "or tools/updateserver/run-in-netns.sh")
                         .arg(QString::fromLatin1(name));
    }
    return false;
}

void TestNamespace::reexecInsideNetwork(
    int argc, char **argv, std::initializer_list<const char *> hosts)
{
    if (isInside(Network)) {
        return;
    }
    static char bash[] = "/bin/bash";
    static char script[] = VELL_NAMESPACE_SCRIPT;
    static char hostOption[] = "--host";
    static char endOfOptions[] = "--";
    std::vector<char *> arguments {bash, script};
    for (const char *host : hosts) {
        arguments.push_back(hostOption);
        arguments.push_back(const_cast<char *>(host));
    }
    arguments.push_back(endOfOptions);
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    arguments.push_back(nullptr);
    ::execv(bash, arguments.data());
    std::perror("cannot run inside a private network");
    ::_exit(127);
}
