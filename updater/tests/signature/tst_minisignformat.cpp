// The minisign file formats as the real program writes them, damaged copies of
// them, and the trusted comment that binds a package to its update.

#include "MinisignTool.h"
#include "VellMinisignPublicKey.h"
#include "VellMinisignSignature.h"
#include "VellTrustedComment.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray replaceLine(const QByteArray &text, int index, const QByteArray &line)
{
    QList<QByteArray> lines = text.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

} // namespace

class tst_MinisignFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void readsKeyFileOfMinisign();
    void readsSignatureFilesOfMinisign_data();
    void readsSignatureFilesOfMinisign();
    void refusesDamagedSignatureFiles_data();
    void refusesDamagedSignatureFiles();
    void refusesDamagedKeyFiles_data();
    void refusesDamagedKeyFiles();

    void percentEncodingRoundTripsEveryByte();
    void composesCommentForComponent();
    void readsValuesOfComment_data();
    void readsValuesOfComment();

private:
    QTemporaryDir dir;
    MinisignTool minisign;
    QByteArray keyText;
    QByteArray prehashedText;
    QByteArray legacyText;
};

const QByteArray Comment("vell-package project=vell name=core type=app version=2.0");

void tst_MinisignFormat::initTestCase()
{
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY2(minisign.generate(dir.path()), qPrintable(minisign.lastError));
    const QString file = dir.filePath("file");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write("contents") == 8);
    out.close();
    QVERIFY2(minisign.sign(file, Comment), qPrintable(minisign.lastError));
    QVERIFY2(minisign.sign(file, Comment, MinisignTool::Format::Legacy, file + ".legacy"),
        qPrintable(minisign.lastError));
    keyText = readAll(minisign.publicKeyPath());
    prehashedText = readAll(file + ".minisig");
    legacyText = readAll(file + ".legacy");
    QVERIFY(!keyText.isEmpty() && !prehashedText.isEmpty() && !legacyText.isEmpty());
}

void tst_MinisignFormat::readsKeyFileOfMinisign()
{
    VellMinisignPublicKey key;
    QVERIFY(VellMinisignPublicKey::parse(keyText, key));
    QCOMPARE(key.keyBytes().size(), VellMinisignPublicKey::KeyBytes);
    // minisign names the key in the comment of the file it wrote, in hex
    // without leading zeros.
    const QByteArray named = keyText.split('\n').first().split(' ').last();
    bool ok = false;
    QCOMPARE(named.toULongLong(&ok, 16), key.keyIdText().toULongLong(nullptr, 16));
    QVERIFY2(ok, keyText.constData());
}

void tst_MinisignFormat::readsSignatureFilesOfMinisign_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("legacy");
    QTest::newRow("prehashed") << prehashedText << false;
    QTest::newRow("legacy") << legacyText << true;
    QByteArray crlf = prehashedText;
    QTest::newRow("CR LF line ends") << crlf.replace("\n", "\r\n") << false;
    QTest::newRow("no final line end") << prehashedText.trimmed() << false;
}

void tst_MinisignFormat::readsSignatureFilesOfMinisign()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, legacy);
    VellMinisignPublicKey key;
    QVERIFY(VellMinisignPublicKey::parse(keyText, key));

    VellMinisignSignature signature;
    QVERIFY(VellMinisignSignature::parse(text, signature));
    QCOMPARE(signature.algorithm(),
        legacy ? VellMinisignSignature::Algorithm::Legacy
               : VellMinisignSignature::Algorithm::Prehashed);
    QCOMPARE(signature.keyId(), key.keyId());
    QCOMPARE(signature.trustedComment(), Comment);
    QCOMPARE(signature.fileSignature().size(), VellMinisignSignature::SignatureBytes);
    QCOMPARE(signature.globallySignedBytes(), signature.fileSignature() + Comment);
}

void tst_MinisignFormat::refusesDamagedSignatureFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    const QList<QByteArray> lines = prehashedText.split('\n');
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated after the signature line") << lines.mid(0, 2).join('\n');
    QTest::newRow("truncated inside the global signature")
        << prehashedText.left(prehashedText.size() - 20);
    QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0garbage", 17);
    QTest::newRow("no untrusted comment prefix") << replaceLine(prehashedText, 0, "comment: x");
    QTest::newRow("no trusted comment prefix")
        << replaceLine(prehashedText, 2, lines.at(2).mid(int(qstrlen("trusted "))));
    QTest::newRow("signature line not base64") << replaceLine(prehashedText, 1, "R!" + lines.at(1));
    QTest::newRow("signature line a byte short")
        << replaceLine(prehashedText, 1, QByteArray::fromBase64(lines.at(1)).chopped(1).toBase64());
    QTest::newRow("unknown algorithm") << replaceLine(
        prehashedText, 1, "XX" + QByteArray::fromBase64(lines.at(1)).mid(2).toBase64());
    QTest::newRow("global signature a byte long") << replaceLine(
        prehashedText, 3, QByteArray(QByteArray::fromBase64(lines.at(3)) + 'x').toBase64());
    QTest::newRow("larger than any signature") << replaceLine(prehashedText, 0,
        "untrusted comment: " + QByteArray(VellMinisignSignature::MaxFileBytes, 'x'));
}

void tst_MinisignFormat::refusesDamagedSignatureFiles()
{
    QFETCH(QByteArray, text);
    VellMinisignSignature signature;
    QVERIFY(!VellMinisignSignature::parse(text, signature));
    QVERIFY(signature.keyId().isEmpty());
}

void tst_MinisignFormat::refusesDamagedKeyFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    const QList<QByteArray> lines = keyText.split('\n');
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("comment only") << lines.at(0);
    QTest::newRow("no comment") << lines.at(1);
    QTest::newRow("key a byte short")
        << replaceLine(keyText, 1, QByteArray::fromBase64(lines.at(1)).chopped(1).toBase64());
    QTest::newRow("other algorithm")
        << replaceLine(keyText, 1, "ED" + QByteArray::fromBase64(lines.at(1)).mid(2).toBase64());
    QTest::newRow("a signature file") << prehashedText;
}

void tst_MinisignFormat::refusesDamagedKeyFiles()
{
    QFETCH(QByteArray, text);
    VellMinisignPublicKey key;
    QVERIFY(!VellMinisignPublicKey::parse(text, key));
    QVERIFY(key.keyBytes().isEmpty());
}

void tst_MinisignFormat::percentEncodingRoundTripsEveryByte()
{
    QByteArray everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        everyByte += char(byte);
    }
    const QByteArray encoded = VellTrustedComment::percentEncode(everyByte);
    // Nothing but unreserved characters and %XX: no blank, no "=" to split on.
    QVERIFY(QRegularExpression(QStringLiteral("^([A-Za-z0-9._~-]|%[0-9A-F]{2})*$"))
                .match(QString::fromLatin1(encoded))
                .hasMatch());
    QByteArray decoded;
    QVERIFY(VellTrustedComment::percentDecode(encoded, decoded));
    QCOMPARE(decoded, everyByte);
    QCOMPARE(VellTrustedComment::percentEncode("a b=c%\xc5\x82"), QByteArray("a%20b%3Dc%25%C5%82"));
}

void tst_MinisignFormat::composesCommentForComponent()
{
    QCOMPARE(VellTrustedComment::forComponent("vell", "core", "app", "2.0"), Comment);
    QCOMPARE(VellTrustedComment::forComponent("", "my core", "app", "1.0+b"),
        QByteArray("vell-package project= name=my%20core type=app version=1.0%2Bb"));
}

void tst_MinisignFormat::readsValuesOfComment_data()
{
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("version");
    QTest::newRow("plain") << Comment << true << QByteArray("2.0");
    QTest::newRow("any order, other words")
        << QByteArray("version=2.0 x=1 words name=core") << true << QByteArray("2.0");
    QTest::newRow("encoded, lower-case hex")
        << QByteArray("version=2%2e0%20b") << true << QByteArray("2.0 b");
    QTest::newRow("empty value") << QByteArray("version=") << true << QByteArray("");
    QTest::newRow("missing") << QByteArray("vell-package name=core") << false << QByteArray();
    QTest::newRow("only as a longer key")
        << QByteArray("subversion=2.0 version2=3") << false << QByteArray();
    QTest::newRow("given twice") << QByteArray("version=2.0 version=1.0") << false << QByteArray();
    QTest::newRow("percent without digits") << QByteArray("version=2.0%") << false << QByteArray();
    QTest::newRow("percent with one digit") << QByteArray("version=2.0%4") << false << QByteArray();
    QTest::newRow("percent with non-hex") << QByteArray("version=%zz") << false << QByteArray();
}

void tst_MinisignFormat::readsValuesOfComment()
{
    QFETCH(QByteArray, comment);
    QFETCH(bool, found);
    QFETCH(QByteArray, version);
    QByteArray value("untouched");
    QCOMPARE(VellTrustedComment(comment).value("version", value), found);
    QCOMPARE(value, found ? version : QByteArray("untouched"));
}

QTEST_GUILESS_MAIN(tst_MinisignFormat)
#include "tst_minisignformat.moc"
