#include "VellLiteralLifter.h"

#include <QtTest>

using VellDatabase::VellLiteralLifter;

class tst_VellLiteralLifter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void liftsValues_data();
    void liftsValues();
    void leavesTextAlone_data();
    void leavesTextAlone();
};

void tst_VellLiteralLifter::liftsValues_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QByteArray>("statement");
    QTest::addColumn<QStringList>("literals"); // "i:N" or "t:TEXT"

    QTest::newRow("insert") << QByteArray("INSERT INTO T(ID, A, B) VALUES(NULL, 'x', 42)")
                            << QByteArray("INSERT INTO T(ID, A, B) VALUES(NULL, ?, ?)")
                            << QStringList {"t:x", "i:42"};
    QTest::newRow("doubled apostrophe")
        << QByteArray("SELECT ID FROM Words WHERE Word = 'o''brien'")
        << QByteArray("SELECT ID FROM Words WHERE Word = ?") << QStringList {"t:o'brien"};
    QTest::newRow("empty text") << QByteArray("UPDATE C SET Time = '' WHERE ID = 7")
                                << QByteArray("UPDATE C SET Time = ? WHERE ID = ?")
                                << QStringList {"t:", "i:7"};
    QTest::newRow("digits in names stay")
        << QByteArray("SELECT a1 FROM t2 WHERE \"c3\" = 4 AND [d 5] = `e6`")
        << QByteArray("SELECT a1 FROM t2 WHERE \"c3\" = ? AND [d 5] = `e6`") << QStringList {"i:4"};
    QTest::newRow("column positions stay")
        << QByteArray("SELECT a, 5 FROM t GROUP BY 1, 2 ORDER BY 2 DESC LIMIT 3")
        << QByteArray("SELECT a, ? FROM t GROUP BY 1, 2 ORDER BY 2 DESC LIMIT ?")
        << QStringList {"i:5", "i:3"};
    QTest::newRow("position list closes with its bracket")
        << QByteArray("SELECT x FROM (SELECT x FROM t ORDER BY 1) WHERE x > 2")
        << QByteArray("SELECT x FROM (SELECT x FROM t ORDER BY 1) WHERE x > ?")
        << QStringList {"i:2"};
    QTest::newRow("sub-query keeps the position list open")
        << QByteArray("SELECT a, b FROM t ORDER BY (SELECT x FROM u WHERE y = 1), 2 DESC")
        << QByteArray("SELECT a, b FROM t ORDER BY (SELECT x FROM u WHERE y = 1), 2 DESC")
        << QStringList();
    QTest::newRow("sub-query's own list inside a position list")
        << QByteArray("SELECT a FROM t ORDER BY (SELECT x FROM u ORDER BY 1 LIMIT 1), 2 LIMIT 5")
        << QByteArray("SELECT a FROM t ORDER BY (SELECT x FROM u ORDER BY 1 LIMIT 1), 2 LIMIT ?")
        << QStringList {"i:5"};
    QTest::newRow("values in case, in lists and patterns")
        << QByteArray("SELECT CASE WHEN a = -1 THEN 'x' END FROM t WHERE b IN (1, 'two') AND c "
                      "LIKE '%3_' ESCAPE '!'")
        << QByteArray("SELECT CASE WHEN a = -? THEN ? END FROM t WHERE b IN (?, ?) AND c LIKE ? "
                      "ESCAPE ?")
        << QStringList {"i:1", "t:x", "i:1", "t:two", "t:%3_", "t:!"};
    QTest::newRow("other numbers stay")
        << QByteArray("SELECT 1.5, 2e3, 0x10, X'AB', 99999999999999999999 FROM t")
        << QByteArray("SELECT 1.5, 2e3, 0x10, X'AB', 99999999999999999999 FROM t") << QStringList();
    QTest::newRow("comments and quotes inside literals")
        << QByteArray("DELETE FROM t -- 'not a literal'\nWHERE a = 'x;y' /* 3 */ AND b = -3;")
        << QByteArray("DELETE FROM t -- 'not a literal'\nWHERE a = ? /* 3 */ AND b = -?;")
        << QStringList {"t:x;y", "i:3"};
    QTest::newRow("utf8") << QByteArray("SELECT ID FROM Words WHERE Word = 'zażółć'")
                          << QByteArray("SELECT ID FROM Words WHERE Word = ?")
                          << QStringList {QStringLiteral("t:zażółć")};
}

void tst_VellLiteralLifter::liftsValues()
{
    QFETCH(QByteArray, sql);
    QFETCH(QByteArray, statement);
    QFETCH(QStringList, literals);

    QByteArray lifted;
    QVector<VellLiteralLifter::Literal> values;
    QVERIFY(VellLiteralLifter::lift(sql, &lifted, &values));
    QCOMPARE(lifted, statement);
    QStringList described;
    for (const VellLiteralLifter::Literal &value : qAsConst(values)) {
        described << (value.kind == VellLiteralLifter::Literal::Integer
                ? QStringLiteral("i:") + QString::number(value.integer)
                : QStringLiteral("t:") + QString::fromUtf8(value.text, value.textSize));
    }
    QCOMPARE(described, literals);
}

void tst_VellLiteralLifter::leavesTextAlone_data()
{
    QTest::addColumn<QByteArray>("sql");
    QTest::newRow("schema") << QByteArray("CREATE TABLE t(a INTEGER DEFAULT 3)");
    QTest::newRow("pragma") << QByteArray("PRAGMA case_sensitive_like = 1");
    QTest::newRow("transaction") << QByteArray("BEGIN TRANSACTION");
    QTest::newRow("two statements") << QByteArray("DELETE FROM t WHERE a = 1; DELETE FROM u");
    QTest::newRow("own parameters") << QByteArray("SELECT a FROM t WHERE b = ? AND c = 1");
    QTest::newRow("named parameters") << QByteArray("SELECT a FROM t WHERE b = :b");
    QTest::newRow("unclosed literal") << QByteArray("SELECT 'abc");
}

void tst_VellLiteralLifter::leavesTextAlone()
{
    QFETCH(QByteArray, sql);
    QByteArray lifted;
    QVector<VellLiteralLifter::Literal> values;
    QVERIFY(!VellLiteralLifter::lift(sql, &lifted, &values));
}

QTEST_GUILESS_MAIN(tst_VellLiteralLifter)
#include "tst_vellliterallifter.moc"
