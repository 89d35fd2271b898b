// Debian's version order: a table of the rules, then thousands of generated
// pairs against dpkg's own comparison.

#include "VellDebianVersion.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

int order(const QByteArray &left, const QByteArray &right)
{
    VellDebianVersion a;
    VellDebianVersion b;
    if (!VellDebianVersion::parse(left, a) || !VellDebianVersion::parse(right, b)) {
        return 2;
    }
    return sign(a.compare(b));
}

/** A version dpkg accepts without a warning, built from pieces that meet the rules' edges. */
QByteArray generatedVersion(QRandomGenerator &random)
{
    static const char *const Pieces[]
        = {"0", "00", "1", "01", "9", "10", "2", "a", "b", "Z", "~", "~~", "+", ".", "-", ":"};
    static const char *const RevisionPieces[] = {"0", "1", "10", "a", "Z", "~", "+", "."};
    QByteArray version;
    if (random.bounded(4) == 0) {
        version += QByteArray::number(random.bounded(3)) + ':';
    }
    version += QByteArray::number(random.bounded(12));
    const int pieces = random.bounded(5);
    for (int i = 0; i < pieces; ++i) {
        const char *piece = Pieces[random.bounded(int(std::size(Pieces)))];
        // A colon only where there is an epoch, a hyphen only where there is a revision.
        if ((*piece == ':' && !version.contains(':')) || *piece == '-') {
            continue;
        }
        version += piece;
    }
    if (random.bounded(2)) {
        version += '-';
        version += QByteArray::number(random.bounded(3));
        const int revisionPieces = random.bounded(3);
        for (int i = 0; i < revisionPieces; ++i) {
            version += RevisionPieces[random.bounded(int(std::size(RevisionPieces)))];
        }
    }
    return version;
}

/** Half the pairs are near neighbours: the second a small edit of the first. */
QVector<QPair<QByteArray, QByteArray>> generatedPairs(int count)
{
    QRandomGenerator random(25);
    QVector<QPair<QByteArray, QByteArray>> pairs;
    for (int i = 0; i < count; ++i) {
        const QByteArray first = generatedVersion(random);
        QByteArray second = generatedVersion(random);
        if (i % 2) {
            second = first;
            static const char *const Tails[] = {"~", "0", "a", "+", ".0", "~rc1", "-1"};
            const QByteArray tail = Tails[random.bounded(int(std::size(Tails)))];
            if (tail != "-1" || !second.contains('-')) {
                second += tail;
            }
        }
        pairs.append({first, second});
    }
    return pairs;
}

/** Runs a program over lines of "left right" on its input; one answer a line. */
QList<QByteArray> answersOf(
    const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        return {};
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        qWarning() << process.readAllStandardError();
        return {};
    }
    QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

} // namespace

class DebianVersionTest : public QObject
{
    Q_OBJECT

private slots:
    void ordersAsDebian_data();
    void ordersAsDebian();
    void refusesWhatIsNoVersion_data();
    void refusesWhatIsNoVersion();
    void agreesWithDpkgLibrary();
    void agreesWithDpkgProgram();
};

void DebianVersionTest::ordersAsDebian_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<int>("expected");

    const struct
    {
        const char *name;
        const char *left;
        const char *right;
        int expected;
    } rows[] = {
        {"equal", "2.0", "2.0", 0},
        {"numbers as numbers", "1.9", "1.10", -1},
        {"leading zeros", "1.01", "1.1", 0},
        {"longer is newer", "1.0", "1.0.1", -1},
        {"tilde before the end", "1.0~rc1", "1.0", -1},
        {"tilde tilde before tilde", "1.0~~", "1.0~", -1},
        {"letters before non-letters", "1.0a", "1.0+", -1},
        {"letters by ASCII", "1.0A", "1.0a", -1},
        {"dot after plus", "1.0+", "1.0.", -1},
        {"the end before a letter", "1.0", "1.0a", -1},
        {"epoch wins", "1:0.1", "9.9", 1},
        {"absent epoch is zero", "0:2.0", "2.0", 0},
        {"epoch as number", "10:1", "9:1", 1},
        {"revision after upstream", "2.0-2", "2.0-10", -1},
        {"absent revision is zero", "2.0", "2.0-0", 0},
        {"hyphens inside upstream", "1.0-rc-1", "1.0-rc-2", -1},
        {"last hyphen splits", "1-2-3", "1-2-4", -1},
        {"colons inside upstream", "1:2:3", "1:2:4", -1},
        {"upstream before revision", "1.1-1", "1.0-9", 1},
        {"long numbers", "1.99999999999999999999", "1.100000000000000000000", -1},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.name) << QByteArray(row.left) << QByteArray(row.right) << row.expected;
        QTest::addRow("%s, reversed", row.name)
            << QByteArray(row.right) << QByteArray(row.left) << -row.expected;
    }
}

void DebianVersionTest::ordersAsDebian()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(int, expected);
    QCOMPARE(order(left, right), expected);
}

void DebianVersionTest::refusesWhatIsNoVersion_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank") << QByteArray("1.0 beta");
    QTest::newRow("NUL") << QByteArray("1.0\0x", 5);
    QTest::newRow("letters in epoch") << QByteArray("a:1.0");
    QTest::newRow("empty epoch") << QByteArray(":1.0");
    QTest::newRow("epoch too large") << QByteArray("99999999999999999999:1.0");
    QTest::newRow("empty upstream") << QByteArray("1:-1");
    QTest::newRow("empty revision") << QByteArray("1.0-");
}

void DebianVersionTest::refusesWhatIsNoVersion()
{
    QFETCH(QByteArray, text);
    VellDebianVersion version;
    QVERIFY(!VellDebianVersion::parse(text, version));
}

// dpkg's Perl library answers thousands of pairs in one process.
void DebianVersionTest::agreesWithDpkgLibrary()
{
    const QVector<QPair<QByteArray, QByteArray>> pairs = generatedPairs(4000);
    QByteArray input;
    for (const auto &pair : pairs) {
        input += pair.first + ' ' + pair.second + '\n';
    }
    const QList<QByteArray> answers = answersOf("perl",
        {"-MDpkg::Version", "-ne",
            "chomp; my ($a, $b) = split / /; print version_compare($a, $b) <=> 0, \"\\n\""},
        input);
    QCOMPARE(answers.size(), pairs.size());
    int disagreements = 0;
    for (int i = 0; i < pairs.size(); ++i) {
        if (order(pairs[i].first, pairs[i].second) != answers[i].toInt()) {
            qWarning() << pairs[i] << "dpkg:" << answers[i];
            ++disagreements;
        }
    }
    QCOMPARE(disagreements, 0);
}

// dpkg itself, one shell for the whole batch (each dpkg start costs milliseconds).
void DebianVersionTest::agreesWithDpkgProgram()
{
    if (QStandardPaths::findExecutable("dpkg").isEmpty()) {
        QSKIP("dpkg is not installed");
    }
    const QVector<QPair<QByteArray, QByteArray>> pairs = generatedPairs(300);
    QByteArray input;
    for (const auto &pair : pairs) {
        input += pair.first + ' ' + pair.second + '\n';
    }
    const QList<QByteArray> answers = answersOf("sh",
        {"-c",
            "while read a b; do"
            " if dpkg --compare-versions \"$a\" lt \"$b\"; then echo -1;"
            " elif dpkg --compare-versions \"$a\" eq \"$b\"; then echo 0; else echo 1; fi;"
            " done"},
        input);
    QCOMPARE(answers.size(), pairs.size());
    for (int i = 0; i < pairs.size(); ++i) {
        QVERIFY2(order(pairs[i].first, pairs[i].second) == answers[i].toInt(),
            QByteArray(pairs[i].first + " vs " + pairs[i].second + ": dpkg says " + answers[i])
                .constData());
    }
}

QTEST_GUILESS_MAIN(DebianVersionTest)
#include "tst_velldebianversion.moc"
