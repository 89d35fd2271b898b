#include "Component.h"
#include "VellCatalogueEntry.h"
#include "VellDebianVersion.h"
#include "VellMinisignPublicKey.h"
#include "VellPackageBuilder.h"
#include "VellPackageSigner.h"
#include "VellPackageVerifier.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[]
    = "usage: vell-package --project P --name N --type T --version V --files DIR\n"
      "                    [--add F]... [--remove F]... [--keep F]... [--no-registry-fragment]\n"
      "                    [--any-type] [--sign SECRET_KEY [--expires YYYY-MM-DDTHH:MM:SSZ]]\n"
      "                    ARCHIVE.zip\n"
      "       vell-package catalogue --catalogue DIR --project P --name N --type T --version V\n"
      "                    --link URL [--description TEXT] [--changelog TEXT] [--critical]\n"
      "                    [--timestamp SECONDS]\n"
      "       vell-package verify --key PUBLIC_KEY --project P --name N --type T --version V\n"
      "                    ARCHIVE.zip [SIGNATURE]\n";

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString &reason)
{
    err() << "vell-package: " << reason << '\n' << Usage;
    return 2;
}

int failure(const QString &reason)
{
    err() << "vell-package: " << reason << '\n';
    return 1;
}

/// The options that name the component, shared by every command.
struct ComponentOptions
{
    QCommandLineOption project {
        QStringLiteral("project"), QStringLiteral("Component project."), QStringLiteral("project")};
    QCommandLineOption name {
        QStringLiteral("name"), QStringLiteral("Component name."), QStringLiteral("name")};
    QCommandLineOption type {QStringLiteral("type"),
        QStringLiteral("Component type (\"app\" or \"plugin\")."), QStringLiteral("type")};
    QCommandLineOption version {QStringLiteral("version"),
        QStringLiteral("Component version, in Debian's syntax ([epoch:]upstream[-revision])."),
        QStringLiteral("version")};
    QCommandLineOption anyType {QStringLiteral("any-type"),
        QStringLiteral("Accept a component type other than \"app\" and \"plugin\".")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions({project, name, type, version, anyType});
    }

    /// A usage error's text, or an empty string when the component is well named.
    QString check(const QCommandLineParser &parser) const
    {
        if (!parser.isSet(project) || !parser.isSet(name) || !parser.isSet(type)
            || !parser.isSet(version)) {
            return QStringLiteral("--project, --name, --type and --version are needed");
        }
        // The updater installs only these two; anything else is most likely a typo.
        const QStringList knownTypes {QStringLiteral("app"), QStringLiteral("plugin")};
        if (!knownTypes.contains(parser.value(type)) && !parser.isSet(anyType)) {
            return QStringLiteral("unknown component type \"%1\": \"app\" or \"plugin\" "
                                  "(--any-type accepts others)")
                .arg(parser.value(type));
        }
        QString errorText;
        if (!VellDebianVersion::isWellFormed(parser.value(version), &errorText)) {
            return QStringLiteral("--version: ") + errorText;
        }
        return QString();
    }
};

/// Parses arguments; a negative result is the exit status to end with, after --help too.
int parse(QCommandLineParser &parser, const QStringList &arguments)
{
    parser.addHelpOption();
    // Not process(): it ends a usage error with status 1.
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << Usage << '\n' << parser.helpText();
        return 0;
    }
    return -1;
}

int buildPackage(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes an update package: a ZIP archive with the files to add and the package "
        "descriptor <archive base name>.xml. Without --add, --remove or --keep every file of "
        "the --files folder is added. The package (and its signature) are written under "
        "temporary names and moved into place only once complete."));
    const ComponentOptions component;
    component.addTo(parser);
    const QCommandLineOption files(QStringLiteral("files"),
        QStringLiteral("Folder holding the files to add (required; \".\" for the current one)."),
        QStringLiteral("folder"));
    const QCommandLineOption add(QStringLiteral("add"),
        QStringLiteral("Install this file (folder/file, relative)."), QStringLiteral("file"));
    const QCommandLineOption remove(QStringLiteral("remove"),
        QStringLiteral("Delete this installed file."), QStringLiteral("file"));
    const QCommandLineOption keep(QStringLiteral("keep"),
        QStringLiteral("Only back this installed file up."), QStringLiteral("file"));
    const QCommandLineOption descriptor(QStringLiteral("descriptor"),
        QStringLiteral("Entry name of the descriptor (default: <archive base name>.xml)."),
        QStringLiteral("entry"));
    const QCommandLineOption noRegistryFragment(QStringLiteral("no-registry-fragment"),
        QStringLiteral("Leave out the component's registry fragment "
                       "components.d/<project><name><type>.xml, which otherwise makes the "
                       "client report the new version once the package is installed."));
    // The fragment used to be asked for with this; it stays accepted so older scripts run.
    QCommandLineOption registryFragment(QStringLiteral("registry-fragment"),
        QStringLiteral("The default; kept for older scripts."));
    registryFragment.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption sign(QStringLiteral("sign"),
        QStringLiteral("Sign the package with this minisign secret key (runs minisign -S; the "
                       "signature goes to <archive>.minisig)."),
        QStringLiteral("secret key"));
    const QCommandLineOption expires(QStringLiteral("expires"),
        QStringLiteral("With --sign: the signature is valid until this time (UTC), "
                       "YYYY-MM-DDTHH:MM:SSZ."),
        QStringLiteral("time"));
    parser.addOptions({files, add, remove, keep, descriptor, noRegistryFragment, registryFragment,
        sign, expires});
    parser.addPositionalArgument(
        QStringLiteral("archive"), QStringLiteral("The package to write."));
    const int parsed = parse(parser, arguments);
    if (parsed >= 0) {
        return parsed;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        return usageError(QStringLiteral("one archive is needed"));
    }
    const QString problem = component.check(parser);
    if (!problem.isEmpty()) {
        return usageError(problem);
    }
    // Packing the current folder by accident can publish whatever lies there, keys included.
    if (!parser.isSet(files)) {
        return usageError(QStringLiteral("--files is needed (--files . for the current folder)"));
    }
    VellPackageSigner signer(parser.value(sign));
    QString errorText;
    if (parser.isSet(expires)) {
        if (!parser.isSet(sign)) {
            return usageError(QStringLiteral("--expires needs --sign"));
        }
        if (!signer.setExpiry(parser.value(expires), &errorText)) {
            return usageError(QStringLiteral("--expires: ") + errorText);
        }
    }

    const QString project = parser.value(component.project);
    const QString name = parser.value(component.name);
    const QString type = parser.value(component.type);
    const QString version = parser.value(component.version);
    VellPackageBuilder builder(project, name, type, version);
    builder.setSourceDir(parser.value(files));
    if (!parser.isSet(add) && !parser.isSet(remove) && !parser.isSet(keep)) {
        if (!builder.addAllFiles(&errorText)) {
            return failure(errorText);
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
    if (parser.isSet(noRegistryFragment) && parser.isSet(registryFragment)) {
        return usageError(QStringLiteral("--registry-fragment and --no-registry-fragment"));
    }
    if (!parser.isSet(noRegistryFragment)) {
        builder.addRegistryFragment();
    }

    // Both files are made under temporary names: a failure leaves neither a new package
    // without its signature nor a new package beside an old signature.
    const QString archive = positional.first();
    const QString signature = archive + QLatin1String(".minisig");
    const QString partial = archive + QLatin1String(".new");
    const QString partialSignature = partial + QLatin1String(".minisig");
    const auto cleanUp = [&]() {
        QFile::remove(partial);
        QFile::remove(partialSignature);
    };
    QString descriptorEntry = parser.value(descriptor);
    if (descriptorEntry.isEmpty()) {
        descriptorEntry = QFileInfo(archive).completeBaseName() + QLatin1String(".xml");
    }
    if (!builder.write(partial, descriptorEntry, &errorText)) {
        cleanUp();
        return failure(errorText);
    }
    if (parser.isSet(sign)) {
        const QStringList signArguments = signer.arguments(partial, project, name, type, version);
        QTextStream(stdout) << signer.commandLine(signArguments) << Qt::endl;
        if (!signer.run(signArguments, &errorText)) {
            cleanUp();
            return failure(errorText);
        }
    }
    QFile::remove(signature);
    if ((parser.isSet(sign) && !QFile::rename(partialSignature, signature))
        || (QFile::exists(archive) && !QFile::remove(archive))
        || !QFile::rename(partial, archive)) {
        cleanUp();
        QFile::remove(signature);
        return failure(QStringLiteral("%1: cannot move the package into place").arg(archive));
    }
    return 0;
}

int writeCatalogueEntry(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes or updates a package's entry in the local update server's catalogue folder: "
        "the version is added to the component's file, or replaces the same version's entry."));
    const ComponentOptions component;
    component.addTo(parser);
    const QCommandLineOption catalogue(QStringLiteral("catalogue"),
        QStringLiteral("The catalogue folder."), QStringLiteral("folder"));
    const QCommandLineOption link(QStringLiteral("link"),
        QStringLiteral("Where the package is published (http://host/path.zip)."),
        QStringLiteral("url"));
    const QCommandLineOption description(QStringLiteral("description"),
        QStringLiteral("The component's description."), QStringLiteral("text"));
    const QCommandLineOption changelog(QStringLiteral("changelog"),
        QStringLiteral("What changed in this version."), QStringLiteral("text"));
    const QCommandLineOption critical(
        QStringLiteral("critical"), QStringLiteral("Mark the update critical."));
    const QCommandLineOption timestamp(QStringLiteral("timestamp"),
        QStringLiteral("Release time, seconds since 1970 (default: now)."),
        QStringLiteral("seconds"));
    parser.addOptions({catalogue, link, description, changelog, critical, timestamp});
    const int parsed = parse(parser, arguments);
    if (parsed >= 0) {
        return parsed;
    }
    const QString problem = component.check(parser);
    if (!problem.isEmpty()) {
        return usageError(problem);
    }
    if (!parser.isSet(catalogue) || !parser.isSet(link)
        || !parser.positionalArguments().isEmpty()) {
        return usageError(QStringLiteral("catalogue: --catalogue and --link are needed"));
    }
    VellCatalogueEntry entry;
    entry.project = parser.value(component.project);
    entry.name = parser.value(component.name);
    entry.type = parser.value(component.type);
    entry.version = parser.value(component.version);
    entry.link = parser.value(link);
    entry.description = parser.value(description);
    entry.changelog = parser.value(changelog);
    entry.critical = parser.isSet(critical);
    entry.timestamp = QDateTime::currentSecsSinceEpoch();
    if (parser.isSet(timestamp)) {
        bool ok = false;
        entry.timestamp = parser.value(timestamp).toLongLong(&ok);
        if (!ok || entry.timestamp < 0) {
            return usageError(QStringLiteral("--timestamp: seconds since 1970 are needed"));
        }
    }
    QString errorText;
    if (!entry.write(parser.value(catalogue), &errorText)) {
        return failure(errorText);
    }
    return 0;
}

int verifyPackage(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks a package and its signature (by default <archive>.minisig) against a minisign "
        "public key exactly as the updater does before installing it as this component. Exit "
        "status 0 when the updater would accept it, 1 (with the updater's reason) otherwise."));
    const ComponentOptions component;
    component.addTo(parser);
    const QCommandLineOption key(QStringLiteral("key"),
        QStringLiteral("The minisign public key file."), QStringLiteral("public key"));
    parser.addOption(key);
    parser.addPositionalArgument(
        QStringLiteral("archive"), QStringLiteral("The package to check."));
    parser.addPositionalArgument(QStringLiteral("signature"),
        QStringLiteral("Its signature (default: <archive>.minisig)."),
        QStringLiteral("[signature]"));
    const int parsed = parse(parser, arguments);
    if (parsed >= 0) {
        return parsed;
    }
    const QString problem = component.check(parser);
    if (!problem.isEmpty()) {
        return usageError(problem);
    }
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(key) || positional.isEmpty() || positional.size() > 2) {
        return usageError(QStringLiteral("verify: --key and one archive are needed"));
    }
    QFile keyFile(parser.value(key));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        return failure(QStringLiteral("%1: %2").arg(keyFile.fileName(), keyFile.errorString()));
    }
    VellMinisignPublicKey publicKey;
    if (!VellMinisignPublicKey::parse(keyFile.readAll(), publicKey)) {
        return failure(QStringLiteral("%1: not a minisign public key").arg(keyFile.fileName()));
    }
    const QString archive = positional.first();
    const QString signature
        = positional.size() == 2 ? positional.last() : archive + QLatin1String(".minisig");
    const Component installedAs(parser.value(component.project).toStdString(),
        parser.value(component.name).toStdString(), parser.value(component.type).toStdString(),
        parser.value(component.version).toStdString(), "", "", "", "", "");
    const VellPackageVerifier verifier(VellTrustedKeys({publicKey}));
    const VellPackageVerifier::Verdict verdict = verifier.verify(archive, signature, installedAs);
    if (verdict != VellPackageVerifier::Verdict::Accepted) {
        return failure(VellPackageVerifier::refusalText(verdict, QFileInfo(archive).fileName()));
    }
    QTextStream(stdout) << archive << ": accepted\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vell-package"));

    QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("catalogue")) {
        arguments.removeAt(1);
        return writeCatalogueEntry(arguments);
    }
    if (command == QLatin1String("verify")) {
        arguments.removeAt(1);
        return verifyPackage(arguments);
    }
    return buildPackage(arguments);
}
