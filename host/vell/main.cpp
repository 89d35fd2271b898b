// Stand-in for the client program: only what the updater asks of it.
#include "VellUpdateQueryCommand.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

const char usage[] = "usage: vell -updatequery\n";
const char description[] = "Prints the update query for the installed components registry "
                           "components.xml beside the program.\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments == QStringList {QStringLiteral("--help")}
        || arguments == QStringList {QStringLiteral("-h")}) {
        std::fputs(usage, stdout);
        std::fputs(description, stdout);
        return 0;
    }
    if (arguments != QStringList {QStringLiteral("-updatequery")}) {
        std::fputs(usage, stderr);
        return 2;
    }
    const QString programDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString fragments = QLatin1String(VellUpdateQueryCommand::fragmentFolderName);
    const auto local = [](const QString &path) { return QFile::encodeName(path).toStdString(); };
    // Packages of type "app" install beside the program, those of type
    // "plugin" into the user's plug-in folder: each brings its fragment along.
    const VellUpdateQueryCommand command(
        local(programDir + QLatin1String(VellUpdateQueryCommand::registryFileName)),
        {local(programDir + fragments),
            local(QDir::homePath() + QLatin1String("/.Vellnet/plugins/") + fragments)});
    std::string output;
    std::string errorText;
    std::string warnings;
    const bool ok = command.run(output, errorText, warnings);
    std::fputs(warnings.c_str(), stderr);
    if (!ok) {
        std::fprintf(stderr, "vell: %s\n", errorText.c_str());
        return 1;
    }
    std::fwrite(output.data(), 1, output.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
