// Stand-in for the client program: only what the updater asks of it.
#include "VellUpdateQueryCommand.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments != QStringList {QStringLiteral("-updatequery")}) {
        std::fputs("usage: vell -updatequery\n", stderr);
        return 2;
    }
    std::string const registry = QFile::encodeName(QCoreApplication::applicationDirPath()
        + QLatin1Char('/') + QLatin1String(VellUpdateQueryCommand::registryFileName))
                                     .toStdString();
    std::string output;
    std::string errorText;
    if (!VellUpdateQueryCommand(registry).run(output, errorText)) {
        std::fprintf(stderr, "vell: %s\n", errorText.c_str());
        return 1;
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
