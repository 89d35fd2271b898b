#include "VellPackageBuilder.h"
#include "VellPackageSigner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vell-package"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes an update package: a ZIP archive with the files to add and the package "
        "descriptor <archive base name>.xml. Without --add, --remove or --keep every file of "
        "the source folder is added."));
    parser.addHelpOption();
    const QCommandLineOption project(
        QStringLiteral("project"), QStringLiteral("Component project."), QStringLiteral("project"));
    const QCommandLineOption name(
        QStringLiteral("name"), QStringLiteral("Component name."), QStringLiteral("name"));
    const QCommandLineOption type(QStringLiteral("type"),
        QStringLiteral("Component type (\"app\" or \"plugin\")."), QStringLiteral("type"));
    const QCommandLineOption version(
        QStringLiteral("version"), QStringLiteral("Component version."), QStringLiteral("version"));
    const QCommandLineOption files(QStringLiteral("files"),
        QStringLiteral("Folder holding the files to add."), QStringLiteral("folder"),
        QStringLiteral("."));
    const QCommandLineOption add(QStringLiteral("add"),
        QStringLiteral("Install this file (folder/file, relative)."), QStringLiteral("file"));
    const QCommandLineOption remove(QStringLiteral("remove"),
        QStringLiteral("Delete this installed file."), QStringLiteral("file"));
    const QCommandLineOption keep(QStringLiteral("keep"),
        QStringLiteral("Only back this installed file up."), QStringLiteral("file"));
    const QCommandLineOption anyType(QStringLiteral("any-type"),
        QStringLiteral("Accept a component type other than \"app\" and \"plugin\"."));
    const QCommandLineOption descriptor(QStringLiteral("descriptor"),
        QStringLiteral("Entry name of the descriptor (default: <archive base name>.xml)."),
        QStringLiteral("entry"));
    const QCommandLineOption registryFragment(QStringLiteral("registry-fragment"),
        QStringLiteral("Also install the component's registry fragment "
                       "components.d/<project><name><type>.xml with this version, so that the "
                       "client reports the new version once the package is installed."));
    const QCommandLineOption sign(QStringLiteral("sign"),
        QStringLiteral("Sign the package with this minisign secret key (runs minisign -S; the "
                       "signature goes to <archive>.minisig)."),
        QStringLiteral("secret key"));
    parser.addOptions({project, name, type, version, files, add, remove, keep, anyType, descriptor,
        registryFragment, sign});
    parser.addPositionalArgument(
        QStringLiteral("archive"), QStringLiteral("The package to write."));

    QTextStream err(stderr);
    const auto usageError = [&err](const QString &reason) {
        err << "vell-package: " << reason << '\n'
            << "usage: vell-package --project P --name N --type T [--version V] [--files DIR] "
               "[--add F]... [--remove F]... [--keep F]... [--registry-fragment] [--any-type] "
               "[--sign SECRET_KEY] "
               "ARCHIVE.zip\n";
        return 2;
    };
    // Not process(): it ends a usage error with status 1.
    if (!parser.parse(QCoreApplication::arguments())) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1 || !parser.isSet(project) || !parser.isSet(name)
        || !parser.isSet(type)) {
        return usageError(QStringLiteral("--project, --name, --type and one archive are needed"));
    }
    // The updater installs only these two; anything else is most likely a typo.
    const QStringList knownTypes {QStringLiteral("app"), QStringLiteral("plugin")};
    if (!knownTypes.contains(parser.value(type)) && !parser.isSet(anyType)) {
        return usageError(QStringLiteral("unknown component type \"%1\": \"app\" or \"plugin\" "
                                         "(--any-type accepts others)")
                              .arg(parser.value(type)));
    }

    VellPackageBuilder builder(
        parser.value(project), parser.value(name), parser.value(type), parser.value(version));
    builder.setSourceDir(parser.value(files));
    QString errorText;
    if (!parser.isSet(add) && !parser.isSet(remove) && !parser.isSet(keep)) {
        if (!builder.addAllFiles(&errorText)) {
            err << "vell-package: " << errorText << '\n';
            return 1;
        }
    }
    for (const QString &file : parser.values(add)) {
        builder.addInstruction(VellPackageBuilder::Action::Add, file);
    }
    for (const QString &file : parser.values(remove)) {
        builder.addInstruction(VellPackageBuilder::Action::Remove, file);
    }
    for (const QString &file : parser.values(keep)) {
        builder.addInstruction(VellPackageBuilder::Action::Keep, file);
    }
    if (parser.isSet(registryFragment)) {
        if (!parser.isSet(version)) {
            err << "vell-package: --registry-fragment needs --version\n";
            return 2;
        }
        builder.addRegistryFragment();
    }
    if (!builder.write(positional.first(), parser.value(descriptor), &errorText)) {
        err << "vell-package: " << errorText << '\n';
        return 1;
    }
    if (parser.isSet(sign)) {
        const VellPackageSigner signer(parser.value(sign));
        const QStringList arguments = signer.arguments(positional.first(), parser.value(project),
            parser.value(name), parser.value(type), parser.value(version));
        QTextStream(stdout) << signer.commandLine(arguments) << Qt::endl;
        if (!signer.run(arguments, &errorText)) {
            err << "vell-package: " << errorText << '\n';
            return 1;
        }
    }
    return 0;
}
