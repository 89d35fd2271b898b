#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class tst_VellPluginsCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void infoPrintsTheDescriptiveData();
    void filterSaysYesOrNoForEveryEntry();
    void translationOptionInstallsTheCatalogue();
    void failures_data();
    void failures();

private:
    Run run(const QStringList &arguments);
    QString writeRoster(const QByteArray &text);

    QTemporaryDir m_dir;
};

Run tst_VellPluginsCli::run(const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELL_PLUGINS_PATH), arguments);
    Run result;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString tst_VellPluginsCli::writeRoster(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("roster.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        return QString();
    }
    return path;
}

void tst_VellPluginsCli::init()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
}

void tst_VellPluginsCli::infoPrintsTheDescriptiveData()
{
    const Run result = run({QStringLiteral("info"), QStringLiteral(STATUSFILTER_PATH)});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.err.isEmpty());
    const QStringList expected = {
        QStringLiteral("name:           OnlineFilter"),
        QStringLiteral("description:    Show only online buddies in roster"),
        QStringLiteral("version:        1"),
        QStringLiteral("icon:           (none)"),
        QStringLiteral("roster filter:  show online"),
        QStringLiteral("service:        filter \"filter\", icon (none), default action"),
    };
    const QStringList lines = result.out.split(QLatin1Char('\n'));
    for (const QString &line : expected) {
        QVERIFY2(
            lines.contains(line), qPrintable(line + QLatin1String(" missing in:\n") + result.out));
    }
}

void tst_VellPluginsCli::filterSaysYesOrNoForEveryEntry()
{
    const QString roster = writeRoster("# kind  id  presence  name\n"
                                       "account   me@example.org     -        Me\n"
                                       "\n"
                                       "group     friends            -        Friends\n"
                                       "contact   ala@example.org    online   Ala Nowak\n"
                                       "contact   bob@example.org    offline  Bob\n"
                                       "contact   eve@example.org    -\n"
                                       "temporary +48600100200       dnd\n"
                                       "temporary +48600300400       6\n");
    QVERIFY(!roster.isEmpty());

    const Run result = run({QStringLiteral("filter"), QStringLiteral(STATUSFILTER_PATH), roster});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
    QCOMPARE(result.out,
        QStringLiteral("no\taccount\tme@example.org\tMe\n"
                       "no\tgroup\tfriends\tFriends\n"
                       "yes\tcontact\tala@example.org\tAla Nowak\n"
                       "no\tcontact\tbob@example.org\tBob\n"
                       "no\tcontact\teve@example.org\teve@example.org\n"
                       "yes\ttemporary\t+48600100200\t+48600100200\n"
                       "no\ttemporary\t+48600300400\t+48600300400\n"
                       "\"show online\" shows 2 of 7 entries\n"));
}

void tst_VellPluginsCli::translationOptionInstallsTheCatalogue()
{
    const QString roster = writeRoster("contact ala@example.org away Ala\n");
    QVERIFY(!roster.isEmpty());

    const Run result = run({QStringLiteral("--translation"), QStringLiteral(TEST_CATALOGUE_PATH),
        QStringLiteral("filter"), QStringLiteral(STATUSFILTER_PATH), roster});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.out.endsWith(QStringLiteral("\"pokaż dostępnych\" shows 1 of 1 entries\n")),
        qPrintable(result.out));
}

void tst_VellPluginsCli::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("roster");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const QString plugin = QStringLiteral(STATUSFILTER_PATH);
    const QString missing = QStringLiteral("/nonexistent/statusfilter.kwx");
    const QString rosterArg = QStringLiteral("ROSTER");
    QTest::newRow("no command") << QStringList() << QByteArray() << 2 << QStringLiteral("Expected");
    QTest::newRow("unknown command") << QStringList {QStringLiteral("list"), plugin} << QByteArray()
                                     << 2 << QStringLiteral("Expected");
    QTest::newRow("filter without roster") << QStringList {QStringLiteral("filter"), plugin}
                                           << QByteArray() << 2 << QStringLiteral("Expected");
    QTest::newRow("unknown option")
        << QStringList {QStringLiteral("--bogus")} << QByteArray() << 2 << QStringLiteral("bogus");
    QTest::newRow("missing plug-in") << QStringList {QStringLiteral("info"),
        missing} << QByteArray() << 1 << QStringLiteral("No such file or directory");
    QTest::newRow("missing catalogue") << QStringList {QStringLiteral("--translation"),
        QStringLiteral("/nonexistent/pl.qm"), QStringLiteral("info"),
        plugin} << QByteArray() << 1 << QStringLiteral("Cannot install the catalogue");
    QTest::newRow("bad kind in roster")
        << QStringList {QStringLiteral("filter"), plugin, rosterArg}
        << QByteArray("contact a@example.org online\nfriend b@example.org online\n") << 1
        << QStringLiteral("roster.txt:2: unknown kind \"friend\"");
    QTest::newRow("missing roster file")
        << QStringList {QStringLiteral("filter"), plugin, QStringLiteral("/nonexistent/roster")}
        << QByteArray() << 1 << QStringLiteral("Cannot read the roster file /nonexistent/roster");
}

void tst_VellPluginsCli::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, roster);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    const int rosterIndex = arguments.indexOf(QStringLiteral("ROSTER"));
    if (rosterIndex >= 0) {
        arguments[rosterIndex] = writeRoster(roster);
    }
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY(result.out.isEmpty());
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
}

QTEST_GUILESS_MAIN(tst_VellPluginsCli)
#include "tst_vellplugins_cli.moc"
