#include "VellPluginsTool.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return VellPluginsTool::run(QCoreApplication::arguments(), out, err);
}
