#include "SqliteProbe.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QtTest>

#include <memory>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace VellDatabase;

namespace {

using Connection = std::unique_ptr<VellDBConnection>;
using Result = std::unique_ptr<VellDBResult>;

// Rows as "a|b|<null>", read through SQLite itself, one statement as written.
QStringList rawRows(const QString &path, const QString &sql)
{
    return SqliteProbe(path, SqliteProbe::ReadOnly).rows(sql);
}

QStringList resultRows(VellDBResult *result)
{
    if (!result) {
        return {QStringLiteral("<error>")};
    }
    QStringList rows;
    for (int r = 0; r < result->rowCount(); ++r) {
        QStringList values;
        for (int c = 0; c < result->columnCount(); ++c) {
            const QString value = result->value(r, c);
            values << (value.isNull() ? QStringLiteral("<null>") : value);
        }
        rows << values.join(QLatin1Char('|'));
    }
    delete result;
    return rows;
}

} // namespace

class tst_VellDBConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void execCountsRowsOfThisStatementOnly();
    void queryReturnsEveryValueAsText();
    void failedStatementsReportNothingButTheirResult();
    void lastInsertIdFollowsInserts();
    void answersLikeTheDatabaseItself_data();
    void answersLikeTheDatabaseItself();
    void likeFollowsEverySwitchOfCase();
    void likeFollowsEverySpellingOfTheSwitch_data();
    void likeFollowsEverySpellingOfTheSwitch();
    void likeInViewsFollowsTheSwitch();
    void likeInTableDefinitionsFollowsTheSwitch_data();
    void likeInTableDefinitionsFollowsTheSwitch();
    void statementsSurviveSwitchesOfLikeCase();
    void schemaStatementsRepeatFromCacheAfterChanges();
    void runsTextsOfSeveralStatements();
    void flagOpensReadOnly();
    void refusesWhatIsNoDatabase_data();
    void refusesWhatIsNoDatabase();
    void committedDataSurvivesProcessCrash();

private:
    QString databasePath() const { return m_dir->filePath(QStringLiteral("test.db")); }
    Connection openFixture();

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_VellDBConnection::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

Connection tst_VellDBConnection::openFixture()
{
    Connection db(VellDBModule::getDBConnection(databasePath(), false));
    if (!db) {
        return db;
    }
    db->exec(QStringLiteral("CREATE TABLE T(ID INTEGER PRIMARY KEY, Name TEXT, N INTEGER)"));
    db->exec(QStringLiteral("INSERT INTO T(ID, Name, N) VALUES(NULL, 'alpha', 5), "
                            "(NULL, 'Beta', 3), (NULL, 'o''brien', 5), (NULL, '', NULL)"));
    return db;
}

void tst_VellDBConnection::execCountsRowsOfThisStatementOnly()
{
    Connection db(VellDBModule::getDBConnection(databasePath(), false));
    QVERIFY(db && db->isOpen());
    QCOMPARE(db->exec(QStringLiteral("CREATE TABLE T(ID INTEGER PRIMARY KEY, N INTEGER)")), 0);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 1)")), 1);
    // sqlite3_changes() would still say 1 here.
    QCOMPARE(db->exec(QStringLiteral("CREATE INDEX IF NOT EXISTS TN ON T(N)")), 0);
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 1), (NULL, 2)")), 2);
    QCOMPARE(db->exec(QStringLiteral("UPDATE T SET N = 9 WHERE N = 1")), 2);
    QCOMPARE(db->exec(QStringLiteral("DELETE FROM T WHERE N = 1")), 0);
    QCOMPARE(db->exec(QStringLiteral("SELECT * FROM T")), 0);

    // Rows written by a trigger do not count for the statement.
    QCOMPARE(db->exec(QStringLiteral("CREATE TABLE Log(N INTEGER)")), 0);
    QCOMPARE(db->exec(QStringLiteral("CREATE TRIGGER Logged AFTER INSERT ON T BEGIN "
                                     "INSERT INTO Log VALUES(NEW.N); INSERT INTO Log "
                                     "VALUES(NEW.N); END")),
        0);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 4)")), 1);
    QCOMPARE(
        rawRows(databasePath(), QStringLiteral("SELECT count(*) FROM Log")), QStringList {"2"});
}

void tst_VellDBConnection::queryReturnsEveryValueAsText()
{
    Connection db(VellDBModule::getDBConnection(QStringLiteral(":memory:"), false));
    QVERIFY(db);
    Result result(db->query(QStringLiteral("SELECT 42, 1.5, 'zażółć', '', NULL, X'414243' UNION "
                                           "ALL SELECT -1, 0, 'a', 'b', 'c', 'd'")));
    QVERIFY(result);
    QCOMPARE(result->rowCount(), 2);
    QCOMPARE(result->columnCount(), 6);
    QVERIFY(!result->isEmpty());
    QCOMPARE(result->value(0, 0), QStringLiteral("42"));
    QCOMPARE(result->value(0, 1), QStringLiteral("1.5"));
    QCOMPARE(result->value(0, 2), QStringLiteral("zażółć"));
    QVERIFY(result->value(0, 3).isEmpty());
    QVERIFY(!result->value(0, 3).isNull());
    QVERIFY(result->value(0, 4).isNull());
    QCOMPARE(result->value(0, 5), QStringLiteral("ABC"));
    QCOMPARE(result->value(1, 0), QStringLiteral("-1"));
    QVERIFY(result->value(2, 0).isNull());
    QVERIFY(result->value(0, 6).isNull());
    QVERIFY(result->value(-1, 0).isNull());

    Result none(db->query(QStringLiteral("SELECT 1 WHERE 0")));
    QVERIFY(none);
    QVERIFY(none->isEmpty());
    QCOMPARE(none->rowCount(), 0);
}

void tst_VellDBConnection::failedStatementsReportNothingButTheirResult()
{
    Connection db = openFixture();
    QVERIFY(db);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO Missing VALUES(1)")), -1);
    QVERIFY(db->lastError().contains(QStringLiteral("Missing")));
    QVERIFY(!Result(db->query(QStringLiteral("SELECT nothing FROM T"))));
    QCOMPARE(db->exec(QStringLiteral("SELEC 1")), -1);

    QCOMPARE(db->exec(QStringLiteral("CREATE TRIGGER Refuse BEFORE INSERT ON T WHEN NEW.N = 13 "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END")),
        0);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, Name, N) VALUES(NULL, 'x', 13)")), -1);
    QCOMPARE(db->lastError(), QStringLiteral("refused"));
    // The same cached statement shape still works with other values.
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, Name, N) VALUES(NULL, 'x', 14)")), 1);
    QVERIFY(db->lastError().isEmpty());
}

void tst_VellDBConnection::lastInsertIdFollowsInserts()
{
    Connection db(VellDBModule::getDBConnection(databasePath(), false));
    QVERIFY(db);
    QCOMPARE(db->lastInsertId(), -1);
    db->exec(QStringLiteral("CREATE TABLE T(ID INTEGER PRIMARY KEY, N INTEGER)"));
    db->exec(QStringLiteral("CREATE TABLE Link(A INTEGER, B INTEGER)"));
    QCOMPARE(db->lastInsertId(), -1);
    db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 1)"));
    db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 1)"));
    QCOMPARE(db->lastInsertId(), 2);
    db->exec(QStringLiteral("UPDATE T SET N = 2"));
    QCOMPARE(db->lastInsertId(), 2);
    db->exec(QStringLiteral("INSERT INTO Link(A, B) VALUES(7, 8)"));
    QCOMPARE(db->lastInsertId(), 1); // the link table's own row ID
}

void tst_VellDBConnection::answersLikeTheDatabaseItself_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("by text") << "SELECT ID, N FROM T WHERE Name = 'Beta'";
    QTest::newRow("by other text") << "SELECT ID, N FROM T WHERE Name = 'alpha'";
    QTest::newRow("apostrophe") << "SELECT ID FROM T WHERE Name = 'o''brien'";
    QTest::newRow("empty text") << "SELECT ID, N FROM T WHERE Name = ''";
    QTest::newRow("column positions") << "SELECT N, count(*) FROM T GROUP BY 1 ORDER BY 2 DESC, 1";
    QTest::newRow("text is not a number") << "SELECT '5' = 5, 5 = 5, N = '5' FROM T";
    QTest::newRow("like") << "SELECT Name FROM T WHERE Name LIKE '%b%' ORDER BY ID";
    QTest::newRow("in list") << "SELECT Name FROM T WHERE ID IN (1, 3) ORDER BY ID DESC";
    QTest::newRow("types") << "SELECT typeof(1), typeof('1'), typeof(1.0), -5, 7 - 2";
    QTest::newRow("limit") << "SELECT ID FROM T ORDER BY ID LIMIT 2 OFFSET 1";
    QTest::newRow("max") << "SELECT max(ID) FROM T WHERE 1 = 1 AND N = 5";
    // Texts where a value written in place and a bound one could differ.
    QTest::newRow("sub-query in a position list")
        << "SELECT Name, N FROM T ORDER BY (SELECT 1), 2 DESC, 1";
    QTest::newRow("positions of a sub-query in a position list")
        << "SELECT Name, N FROM T ORDER BY (SELECT N FROM T ORDER BY 1 LIMIT 1), 2 DESC";
    QTest::newRow("bracketed and signed positions")
        << "SELECT Name, N FROM T ORDER BY (2) DESC, +1";
    QTest::newRow("text in a position list") << "SELECT Name AS k FROM T ORDER BY 'k', 1 DESC";
    QTest::newRow("compound with positions")
        << "SELECT Name FROM T UNION SELECT 'zeta' ORDER BY 1 DESC LIMIT 3";
    QTest::newRow("grouped by an expression")
        << "SELECT substr(Name, 1, 1), count(*) FROM T GROUP BY substr(Name, 1, 1) "
           "HAVING count(*) >= 1 ORDER BY 1";
    QTest::newRow("text against integer columns") << "SELECT Name FROM T WHERE ID = '3' OR N = '3'";
    QTest::newRow("collation") << "SELECT Name FROM T WHERE Name = 'ALPHA' COLLATE NOCASE";
    QTest::newRow("glob") << "SELECT Name FROM T WHERE Name GLOB '*e*' ORDER BY ID";
    QTest::newRow("like with escape")
        << "SELECT Name FROM T WHERE Name LIKE '%!_%' ESCAPE '!' OR Name LIKE 'b_ta'";
    QTest::newRow("case") << "SELECT CASE N WHEN 5 THEN 'five' WHEN -1 THEN 'minus' ELSE 'other' "
                             "END FROM T ORDER BY ID";
    QTest::newRow("negative numbers") << "SELECT ID FROM T WHERE N > -1 AND -N < -4 LIMIT -1";
    QTest::newRow("texts in a list")
        << "SELECT ID FROM T WHERE Name IN ('alpha', 'o''brien', '5') ORDER BY 1";
    QTest::newRow("quoted names") << "SELECT \"N\", [Name], `ID` FROM T WHERE \"Name\" = 'alpha'";
    QTest::newRow("apostrophe in a quoted name")
        << "SELECT \"N\" AS [it's] FROM T WHERE Name <> \"o'brien\" AND N = 5";
    QTest::newRow("comments") << "SELECT ID FROM T -- WHERE N = 3\nWHERE N = /* 3 */ 5;";
    QTest::newRow("semicolon in a text") << "SELECT ID FROM T WHERE Name = 'a;b' OR N = 5;";
    QTest::newRow("sized type") << "SELECT CAST(N AS VARCHAR(1)) FROM T ORDER BY ID";
    QTest::newRow("alias written as text") << "SELECT Name 'k' FROM T WHERE N = 5";
    QTest::newRow("window frame")
        << "SELECT sum(N) OVER (ORDER BY ID ROWS BETWEEN 1 PRECEDING AND CURRENT ROW) FROM T";
    QTest::newRow("recursive")
        << "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3) "
           "SELECT x FROM c";
}

void tst_VellDBConnection::answersLikeTheDatabaseItself()
{
    QFETCH(QString, sql);
    Connection db = openFixture();
    QVERIFY(db);
    const QStringList expected = rawRows(databasePath(), sql);
    // Twice: the second run comes from the statement cache.
    QCOMPARE(resultRows(db->query(sql)), expected);
    QCOMPARE(resultRows(db->query(sql)), expected);
}

void tst_VellDBConnection::likeFollowsEverySwitchOfCase()
{
    Connection db = openFixture();
    QVERIFY(db);
    // With indexes, LIKE may be answered from one of them: the switch must
    // reach statements compiled before it, and repeat from the statement cache.
    QCOMPARE(db->exec(QStringLiteral("CREATE INDEX TName ON T(Name)")), 0);
    QCOMPARE(db->exec(QStringLiteral("CREATE INDEX TNameNoCase ON T(Name COLLATE NOCASE)")), 0);
    const QString like = QStringLiteral("SELECT Name FROM T WHERE Name LIKE 'b%'");
    for (int round = 0; round < 3; ++round) {
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
        QCOMPARE(resultRows(db->query(like)), QStringList());
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 0")), 0);
        QCOMPARE(resultRows(db->query(like)), QStringList {"Beta"});
    }
}

void tst_VellDBConnection::likeFollowsEverySpellingOfTheSwitch_data()
{
    QTest::addColumn<QString>("pragma");
    QTest::addColumn<QStringList>("found");

    const QStringList sensitive;
    const QStringList insensitive {"Beta"};
    QTest::newRow("on") << "PRAGMA case_sensitive_like = on" << sensitive;
    QTest::newRow("schema, brackets, blanks, semicolon")
        << " pragma main.CASE_SENSITIVE_LIKE( TRUE ) ;" << sensitive;
    QTest::newRow("no") << "PRAGMA case_sensitive_like=no" << insensitive;
    // Spellings that SQLite reads itself.
    QTest::newRow("quoted") << "PRAGMA case_sensitive_like = 'yes'" << sensitive;
    QTest::newRow("number") << "PRAGMA case_sensitive_like = 7" << sensitive;
    QTest::newRow("number SQLite takes for 0") << "PRAGMA case_sensitive_like = 256" << insensitive;
    QTest::newRow("other word") << "PRAGMA case_sensitive_like = full" << insensitive;
    QTest::newRow("with another statement")
        << "PRAGMA case_sensitive_like = 1; SELECT 1" << sensitive;
    QTest::newRow("after a comment") << "/* c */ PRAGMA case_sensitive_like = 1" << sensitive;
}

void tst_VellDBConnection::likeFollowsEverySpellingOfTheSwitch()
{
    QFETCH(QString, pragma);
    QFETCH(QStringList, found);
    Connection db = openFixture();
    QVERIFY(db);
    const QString like = QStringLiteral("SELECT Name FROM T WHERE Name LIKE 'b%'");
    // From the other setting, with the statement compiled under it.
    const bool sensitive = found.isEmpty();
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = %1").arg(sensitive ? 0 : 1)), 0);
    QCOMPARE(resultRows(db->query(like)), sensitive ? QStringList {"Beta"} : QStringList());
    QVERIFY(db->exec(pragma) >= 0);
    QCOMPARE(resultRows(db->query(like)), found);
    // And a switch back still reaches it.
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = %1").arg(sensitive ? 0 : 1)), 0);
    QCOMPARE(resultRows(db->query(like)), sensitive ? QStringList {"Beta"} : QStringList());
}

void tst_VellDBConnection::likeInTableDefinitionsFollowsTheSwitch_data()
{
    QTest::addColumn<QString>("create");
    QTest::addColumn<QString>("check"); // must give "1" once LIKE is case-sensitive
    QTest::newRow("CHECK constraint") << "CREATE TABLE C(Name TEXT CHECK (Name NOT LIKE 'b%'))"
                                      << "SELECT count(*) FROM C";
    QTest::newRow("generated column") << "CREATE TABLE C(Name TEXT, B AS (Name LIKE 'b%'))"
                                      << "SELECT 1 - B FROM C";
}

void tst_VellDBConnection::likeInTableDefinitionsFollowsTheSwitch()
{
    // No statement shows LIKE: the table's definition evaluates it.
    QFETCH(QString, create);
    QFETCH(QString, check);
    Connection db = openFixture();
    QVERIFY(db);
    QCOMPARE(db->exec(create), 0);
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
    // Under the case-sensitive setting 'Bx' is not LIKE 'b%'.
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO C(Name) VALUES('Bx')")), 1);
    QCOMPARE(resultRows(db->query(check)), QStringList {"1"});
}

void tst_VellDBConnection::likeInViewsFollowsTheSwitch()
{
    Connection db = openFixture();
    QVERIFY(db);
    // No LIKE in the text: the view brings it.
    QCOMPARE(
        db->exec(QStringLiteral("CREATE VIEW B AS SELECT Name FROM T WHERE Name LIKE 'b%'")), 0);
    const QString viewed = QStringLiteral("SELECT Name FROM B");
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
        QCOMPARE(resultRows(db->query(viewed)), QStringList());
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 0")), 0);
        QCOMPARE(resultRows(db->query(viewed)), QStringList {"Beta"});
    }

    // A view without LIKE, compiled into a statement; another connection
    // redefines it with LIKE while a switch waits: the statement, compiled
    // anew by SQLite, runs under the setting asked for.
    QCOMPARE(
        db->exec(QStringLiteral("CREATE VIEW Named AS SELECT Name FROM T WHERE Name = 'Beta'")), 0);
    const QString named = QStringLiteral("SELECT count(*) FROM Named");
    QCOMPARE(resultRows(db->query(named)), QStringList {"1"});
    {
        SqliteProbe other(databasePath());
        QVERIFY(other.exec(QStringLiteral("DROP VIEW Named")));
        QVERIFY(other.exec(
            QStringLiteral("CREATE VIEW Named AS SELECT Name FROM T WHERE Name LIKE 'b%'")));
    }
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
    QCOMPARE(resultRows(db->query(named)), QStringList {"0"});
    QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 0")), 0);
    QCOMPARE(resultRows(db->query(named)), QStringList {"1"});
}

void tst_VellDBConnection::statementsSurviveSwitchesOfLikeCase()
{
    Connection db = openFixture();
    QVERIFY(db);
    // A client that makes LIKE case-sensitive for each search and switches
    // back after it, recording in between. SQLite counts in sqlite_stmt how
    // often it compiled each statement of the connection anew.
    const QString insert = QStringLiteral("INSERT INTO T(ID, Name, N) VALUES(NULL, 'gamma', 7)");
    const QString search = QStringLiteral("SELECT Name FROM T WHERE Name LIKE 'g%'");
    // The insert as the cache keeps it, its values lifted into parameters.
    // (The search is compiled anew for every pattern bound to its LIKE, so
    // that SQLite can choose an index for it.)
    const QString recompiled = QStringLiteral("SELECT reprep FROM sqlite_stmt WHERE sql = "
                                              "'INSERT INTO T(ID, Name, N) VALUES(NULL, ?, ?)'");
    auto round = [&] {
        QCOMPARE(db->exec(insert), 1);
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 1")), 0);
        QVERIFY(db->query(search) != nullptr);
        delete db->query(search);
        QCOMPARE(db->exec(QStringLiteral("PRAGMA case_sensitive_like = 0")), 0);
    };
    // The first search really switches from SQLite's default, which compiles
    // every statement once more; after that, nothing is compiled again.
    round();
    round();
    const QStringList before = resultRows(db->query(recompiled));
    if (before.isEmpty()) {
        QSKIP("this SQLite has no sqlite_stmt table");
    }
    for (int i = 0; i < 3; ++i) {
        round();
    }
    QCOMPARE(resultRows(db->query(recompiled)), before);
    QCOMPARE(resultRows(db->query(QStringLiteral("SELECT count(*) FROM T WHERE Name = 'gamma'"))),
        QStringList {"5"});
}

void tst_VellDBConnection::schemaStatementsRepeatFromCacheAfterChanges()
{
    Connection db = openFixture();
    QVERIFY(db);
    const QString create = QStringLiteral("CREATE TABLE IF NOT EXISTS Extra(N INTEGER)");
    const QString tables
        = QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'Extra'");
    QCOMPARE(db->exec(create), 0);
    // Dropped here and by another connection: the compiled "IF NOT EXISTS",
    // which found the table in place, must create it again each time.
    QCOMPARE(db->exec(QStringLiteral("DROP TABLE Extra")), 0);
    QCOMPARE(db->exec(create), 0);
    QCOMPARE(resultRows(db->query(tables)), QStringList {"1"});
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open(databasePath().toUtf8().constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "DROP TABLE Extra", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    QCOMPARE(db->exec(create), 0);
    QCOMPARE(resultRows(db->query(tables)), QStringList {"1"});
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO Extra VALUES(1)")), 1);
}

void tst_VellDBConnection::runsTextsOfSeveralStatements()
{
    Connection db = openFixture();
    QVERIFY(db);
    QCOMPARE(db->exec(QStringLiteral("INSERT INTO T(ID, N) VALUES(NULL, 100); "
                                     "INSERT INTO T(ID, N) VALUES(NULL, 101);")),
        1);
    QCOMPARE(resultRows(db->query(QStringLiteral("SELECT 1; SELECT count(*) FROM T WHERE N > 99"))),
        QStringList {"2"});
    QCOMPARE(db->exec(QStringLiteral("DELETE FROM T WHERE N = 100; SELEC")), -1);
    QCOMPARE(rawRows(databasePath(), QStringLiteral("SELECT count(*) FROM T WHERE N > 99")),
        QStringList {"1"});
}

void tst_VellDBConnection::flagOpensReadOnly()
{
    QVERIFY(!Connection(VellDBModule::getDBConnection(databasePath(), true))); // no file yet
    QVERIFY(openFixture());

    Connection reader(VellDBModule::getDBConnection(databasePath(), true));
    QVERIFY(reader && reader->isOpen());
    QCOMPARE(
        resultRows(reader->query(QStringLiteral("SELECT count(*) FROM T"))), QStringList {"4"});
    QCOMPARE(reader->exec(QStringLiteral("DELETE FROM T")), -1);
    QCOMPARE(rawRows(databasePath(), QStringLiteral("SELECT count(*) FROM T")), QStringList {"4"});

    Connection writer(VellDBModule::getDBConnection(databasePath(), false));
    QCOMPARE(resultRows(writer->query(QStringLiteral("PRAGMA journal_mode"))), QStringList {"wal"});
    QCOMPARE(resultRows(writer->query(QStringLiteral("PRAGMA synchronous"))),
        QStringList {"1"}); // NORMAL
}

void tst_VellDBConnection::refusesWhatIsNoDatabase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written to the file first, if any
    QTest::newRow("empty name") << QString() << QByteArray();
    QTest::newRow("not a database") << "text.db" << QByteArray(4096, 'x');
    QTest::newRow("no such folder") << "missing/archive.db" << QByteArray();
    QTest::newRow("a folder") << "." << QByteArray();
}

void tst_VellDBConnection::refusesWhatIsNoDatabase()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = name.isEmpty() ? name : m_dir->filePath(name);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(!Connection(VellDBModule::getDBConnection(path, false)));
}

void tst_VellDBConnection::committedDataSurvivesProcessCrash()
{
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // Commit one row, leave a second one uncommitted, and die without closing.
        VellDBConnection *db = VellDBModule::getDBConnection(databasePath(), false);
        db->exec(QStringLiteral("CREATE TABLE T(N INTEGER)"));
        db->exec(QStringLiteral("BEGIN TRANSACTION"));
        db->exec(QStringLiteral("INSERT INTO T VALUES(1)"));
        db->exec(QStringLiteral("COMMIT TRANSACTION"));
        db->exec(QStringLiteral("BEGIN TRANSACTION"));
        db->exec(QStringLiteral("INSERT INTO T VALUES(2)"));
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(rawRows(databasePath(), QStringLiteral("SELECT N FROM T")), QStringList {"1"});
}

QTEST_GUILESS_MAIN(tst_VellDBConnection)
#include "tst_velldbconnection.moc"
