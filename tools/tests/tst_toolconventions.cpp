// One table for every program and script we ship or document: --help on
// stdout with status 0, a usage error on stderr with status 2, and a failure
// with status 1 and a message naming the file and the operating system's
// reason. An unreadable file needs another user than root: the program runs
// as "nobody" through setpriv when the test runs as root.
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// What a row prepares in its scratch folder before the program runs; the
// row's arguments name the prepared file as %FILE% and the folder as %DIR%.
enum class Setup {
    Nothing,
    MissingFile, // %FILE% does not exist
    UnreadableFile, // %FILE% exists with mode 000
    UnreadableFolder, // %FILE% is a folder with mode 000
    GarbledJson, // %FILE% holds JSON broken on its second line
    BusyPort, // %PORT% is a port that is already listening
    NoNamespaces, // unshare refuses every namespace, as where user namespaces are off
};

enum class Stream { Out, Err };

const QString python = QStringLiteral("/usr/bin/python3");

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Stream)

class tst_ToolConventions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conventions_data();
    void conventions();
};

void tst_ToolConventions::conventions_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("file"); // relative to %DIR%
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<Stream>("stream");
    QTest::addColumn<QStringList>("texts"); // each must appear in that stream

    const QString enoent = QStringLiteral("No such file or directory");
    const QString eacces = QStringLiteral("Permission denied");
    const QStringList missing {QStringLiteral("%FILE%"), enoent};
    const QStringList unreadable {QStringLiteral("%FILE%"), eacces};
    const QStringList package {QStringLiteral("--project"), QStringLiteral("vell"),
        QStringLiteral("--name"), QStringLiteral("core"), QStringLiteral("--version"),
        QStringLiteral("1.0")};
    const QString plugin = QStringLiteral(STATUSFILTER_PATH);

    // The stand-in client runs from a copy in %DIR%: it reads components.xml beside itself.
    const QString vell = QStringLiteral("%DIR%/vell");
    const QString registry = QStringLiteral("components.xml");
    QTest::newRow("vell help") << vell << QStringList {QStringLiteral("--help")} << Setup::Nothing
                               << QString() << 0 << Stream::Out
                               << QStringList {QStringLiteral("usage: vell -updatequery")};
    QTest::newRow("vell usage") << vell << QStringList {QStringLiteral("-x")} << Setup::Nothing
                                << QString() << 2 << Stream::Err
                                << QStringList {QStringLiteral("usage: vell -updatequery")};
    QTest::newRow("vell missing") << vell << QStringList {QStringLiteral("-updatequery")}
                                  << Setup::MissingFile << registry << 1 << Stream::Err << missing;
    QTest::newRow("vell unreadable")
        << vell << QStringList {QStringLiteral("-updatequery")} << Setup::UnreadableFile << registry
        << 1 << Stream::Err << unreadable;

    const QString vellPackage = QStringLiteral(VELL_PACKAGE_PROGRAM);
    QTest::newRow("vell-package help")
        << vellPackage << QStringList {QStringLiteral("--help")} << Setup::Nothing << QString() << 0
        << Stream::Out << QStringList {QStringLiteral("--project")};
    QTest::newRow("vell-package usage")
        << vellPackage << QStringList {QStringLiteral("--bogus")} << Setup::Nothing << QString()
        << 2 << Stream::Err << QStringList {QStringLiteral("bogus"), QStringLiteral("usage:")};
    QTest::newRow("vell-package unknown type")
        << vellPackage
        << package
            + QStringList {QStringLiteral("--type"), QStringLiteral("banana"),
                QStringLiteral("%DIR%/out.zip")}
        << Setup::Nothing << QString() << 2 << Stream::Err
        << QStringList {QStringLiteral("\"banana\""), QStringLiteral("--any-type")};
    QTest::newRow("vell-package missing")
        << vellPackage
        << package
            + QStringList {QStringLiteral("--type"), QStringLiteral("app"),
                QStringLiteral("--files"), QStringLiteral("%FILE%"),
                QStringLiteral("%DIR%/out.zip")}
        << Setup::MissingFile << QStringLiteral("nofiles") << 1 << Stream::Err << missing;
    QTest::newRow("vell-package unreadable")
        << vellPackage
        << package
            + QStringList {QStringLiteral("--type"), QStringLiteral("plugin"),
                QStringLiteral("--files"), QStringLiteral("%DIR%/files"),
                QStringLiteral("%DIR%/out.zip")}
        << Setup::UnreadableFile << QStringLiteral("files/core.so") << 1 << Stream::Err
        << unreadable;
    QTest::newRow("vell-package archive in a missing folder")
        << vellPackage
        << package
            + QStringList {QStringLiteral("--type"), QStringLiteral("app"),
                QStringLiteral("--files"), QStringLiteral("%DIR%"), QStringLiteral("%FILE%")}
        << Setup::MissingFile << QStringLiteral("nowhere/out.zip") << 1 << Stream::Err << missing;

    const QString vellPlugins = QStringLiteral(VELL_PLUGINS_PROGRAM);
    QTest::newRow("vell-plugins help")
        << vellPlugins << QStringList {QStringLiteral("--help")} << Setup::Nothing << QString() << 0
        << Stream::Out << QStringList {QStringLiteral("info")};
    QTest::newRow("vell-plugins usage")
        << vellPlugins << QStringList {QStringLiteral("list")} << Setup::Nothing << QString() << 2
        << Stream::Err << QStringList {QStringLiteral("Usage:")};
    QTest::newRow("vell-plugins missing")
        << vellPlugins << QStringList {QStringLiteral("info"), QStringLiteral("%FILE%")}
        << Setup::MissingFile << QStringLiteral("statusfilter.kwx") << 1 << Stream::Err << missing;
    QTest::newRow("vell-plugins unreadable")
        << vellPlugins << QStringList {QStringLiteral("filter"), plugin, QStringLiteral("%FILE%")}
        << Setup::UnreadableFile << QStringLiteral("roster.txt") << 1 << Stream::Err << unreadable;

    const QString archiveDemo = QStringLiteral(ARCHIVE_DEMO_PROGRAM);
    QTest::newRow("archive-demo help")
        << archiveDemo << QStringList {QStringLiteral("--help")} << Setup::Nothing << QString() << 0
        << Stream::Out << QStringList {QStringLiteral("usage: archive-demo")};
    QTest::newRow("archive-demo usage")
        << archiveDemo << QStringList {QStringLiteral("--bogus")} << Setup::Nothing << QString()
        << 2 << Stream::Err << QStringList {QStringLiteral("usage: archive-demo")};
    QTest::newRow("archive-demo missing")
        << archiveDemo << QStringList {QStringLiteral("%FILE%")} << Setup::MissingFile
        << QStringLiteral("nowhere/archive.db") << 1 << Stream::Err << missing;
    QTest::newRow("archive-demo unreadable")
        << archiveDemo << QStringList {QStringLiteral("%FILE%")} << Setup::UnreadableFile
        << QStringLiteral("archive.db") << 1 << Stream::Err << unreadable;

    const QString server = QStringLiteral(UPDATE_SERVER_SCRIPT);
    const QStringList serveCatalogue {
        server, QStringLiteral("--catalogue"), QStringLiteral("%DIR%/catalogue")};
    QTest::newRow("update server help")
        << python << QStringList {server, QStringLiteral("--help")} << Setup::Nothing << QString()
        << 0 << Stream::Out << QStringList {QStringLiteral("--catalogue")};
    QTest::newRow("update server bad port")
        << python
        << serveCatalogue + QStringList {QStringLiteral("--port"), QStringLiteral("70000")}
        << Setup::Nothing << QString() << 2 << Stream::Err
        << QStringList {QStringLiteral("--port"), QStringLiteral("70000")};
    QTest::newRow("update server missing")
        << python << QStringList {server, QStringLiteral("--catalogue"), QStringLiteral("%FILE%")}
        << Setup::MissingFile << QStringLiteral("nocatalogue") << 1 << Stream::Err << missing;
    QTest::newRow("update server unreadable")
        << python << serveCatalogue << Setup::UnreadableFile
        << QStringLiteral("catalogue/core.json") << 1 << Stream::Err << unreadable;
    QTest::newRow("update server garbled catalogue")
        << python << serveCatalogue << Setup::GarbledJson << QStringLiteral("catalogue/core.json")
        << 1 << Stream::Err << QStringList {QStringLiteral("%FILE%:2:")};
    QTest::newRow("update server busy port")
        << python
        << serveCatalogue + QStringList {QStringLiteral("--port"), QStringLiteral("%PORT%")}
        << Setup::BusyPort << QStringLiteral("catalogue/core.json") << 1 << Stream::Err
        << QStringList {QStringLiteral("%PORT%"), QStringLiteral("Address already in use")};

    const QString bash = QStringLiteral("/bin/bash");
    const QString runInNetns = QStringLiteral(RUN_IN_NETNS_SCRIPT);
    QTest::newRow("run-in-netns help")
        << bash << QStringList {runInNetns, QStringLiteral("--help")} << Setup::Nothing << QString()
        << 0 << Stream::Out << QStringList {QStringLiteral("--http-root")};
    QTest::newRow("run-in-netns usage")
        << bash << QStringList {runInNetns, QStringLiteral("--bogus"), QStringLiteral("true")}
        << Setup::Nothing << QString() << 2 << Stream::Err
        << QStringList {QStringLiteral("--bogus"), QStringLiteral("usage:")};
    QTest::newRow("run-in-netns missing")
        << bash
        << QStringList {runInNetns, QStringLiteral("--http-root"), QStringLiteral("%FILE%"),
               QStringLiteral("true")}
        << Setup::MissingFile << QStringLiteral("packages") << 1 << Stream::Err << missing;
    QTest::newRow("run-in-netns unreadable")
        << bash
        << QStringList {runInNetns, QStringLiteral("--http-root"), QStringLiteral("%FILE%"),
               QStringLiteral("true")}
        << Setup::UnreadableFolder << QStringLiteral("packages") << 1 << Stream::Err << unreadable;
    // The update server's own reason, before the command is started.
    QTest::newRow("run-in-netns missing catalogue")
        << bash
        << QStringList {runInNetns, QStringLiteral("--catalogue"), QStringLiteral("%FILE%"),
               QStringLiteral("true")}
        << Setup::MissingFile << QStringLiteral("nocatalogue") << 1 << Stream::Err
        << QStringList {QStringLiteral("the update server did not start")} + missing;
    // Told apart from a failing command, so that CTest counts the test as skipped.
    QTest::newRow("run-in-netns without namespaces")
        << bash << QStringList {runInNetns, QStringLiteral("true")} << Setup::NoNamespaces
        << QString() << 77 << Stream::Err
        << QStringList {QStringLiteral("no private namespace here"),
               QStringLiteral("Operation not permitted")};
}

void tst_ToolConventions::conventions()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(Setup, setup);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(Stream, stream);
    QFETCH(QStringList, texts);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // "nobody" must reach the files inside and write its output there.
    QVERIFY(QFile::setPermissions(dir.path(),
        QFile::permissions(dir.path()) | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    QVERIFY(QFile::copy(QStringLiteral(VELL_PROGRAM), dir.filePath(QStringLiteral("vell"))));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("catalogue")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("files")));

    const QString filePath = dir.filePath(file);
    QTcpServer busy;
    bool dropPrivileges = false;
    switch (setup) {
    case Setup::Nothing:
    case Setup::MissingFile:
        break;
    case Setup::UnreadableFile:
    case Setup::GarbledJson:
    case Setup::BusyPort: {
        QFile out(filePath);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(setup == Setup::GarbledJson ? "{\"project\": \"vell\",\n  oops\n}\n"
                                              : "{\"project\": \"vell\", \"name\": \"core\"}\n");
        out.close();
        if (setup == Setup::UnreadableFile) {
            QVERIFY(QFile::setPermissions(filePath, {}));
            dropPrivileges = true;
        }
        break;
    }
    case Setup::UnreadableFolder:
        QVERIFY(QDir(dir.path()).mkpath(file));
        QVERIFY(QFile::setPermissions(filePath, {}));
        dropPrivileges = true;
        break;
    case Setup::NoNamespaces: {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
        QFile unshare(dir.filePath(QStringLiteral("bin/unshare")));
        QVERIFY(unshare.open(QIODevice::WriteOnly));
        unshare.write("#!/bin/sh\necho 'unshare: unshare failed: Operation not permitted' >&2\n"
                      "exit 1\n");
        unshare.close();
        QVERIFY(unshare.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        break;
    }
    }
    if (setup == Setup::BusyPort) {
        QVERIFY(busy.listen(QHostAddress::LocalHost));
    }
    const auto expand = [&](QString text) {
        return text.replace(QLatin1String("%FILE%"), filePath)
            .replace(QLatin1String("%DIR%"), dir.path())
            .replace(QLatin1String("%PORT%"), QString::number(busy.serverPort()));
    };
    program = expand(program);
    for (QString &argument : arguments) {
        argument = expand(argument);
    }
    if (dropPrivileges && geteuid() == 0) {
        arguments = QStringList {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), QStringLiteral("--"), program}
            + arguments;
        program = QStringLiteral("setpriv");
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (setup == Setup::NoNamespaces) {
        environment.insert(QStringLiteral("PATH"),
            dir.filePath(QStringLiteral("bin:")) + environment.value(QStringLiteral("PATH")));
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    process.start(program, arguments);
    QVERIFY2(process.waitForFinished(30000), qPrintable(program));
    Run run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    const QString context
        = QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(run.exitCode).arg(run.out, run.err);

    QVERIFY2(run.exitCode == exitCode, qPrintable(context));
    const QString &expected = stream == Stream::Out ? run.out : run.err;
    const QString &other = stream == Stream::Out ? run.err : run.out;
    // Help goes to stdout alone, a usage error to stderr alone.
    QVERIFY2(other.trimmed().isEmpty() || exitCode == 1, qPrintable(context));
    for (const QString &text : qAsConst(texts)) {
        QVERIFY2(expected.contains(expand(text)), qPrintable(expand(text) + '\n' + context));
    }
}

QTEST_GUILESS_MAIN(tst_ToolConventions)
#include "tst_toolconventions.moc"
