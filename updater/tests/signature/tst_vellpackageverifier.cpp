// Verification of packages against real minisign signatures: what installs,
// what is refused and why, and the trusted keys folder.

#include "Component.h"
#include "MinisignTool.h"
#include "VellPackageVerifier.h"
#include "VellTrustedComment.h"
#include "VellTrustedKeys.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using Verdict = VellPackageVerifier::Verdict;
Q_DECLARE_METATYPE(VellPackageVerifier::Verdict)
Q_DECLARE_METATYPE(MinisignTool::Format)

namespace {

Component component(const std::string &name, const std::string &version)
{
    return Component("vell", name, "app", version, "", "", "", "", "");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(12);
    for (char &byte : bytes) {
        byte = char(generator.bounded(256));
    }
    return bytes;
}

} // namespace

class tst_VellPackageVerifier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void acceptsValidSignatures_data();
    void acceptsValidSignatures();
    void refusesPackages_data();
    void refusesPackages();
    void withoutKeysEveryPackagePasses();
    void readsEveryKeyOfFolder();
    void damagedKeyFileStillRequiresSignatures();
    void refusalTextNamesPackage();

private:
    QString packagePath() const { return work.filePath("core-2.0.zip"); }
    QString signaturePath() const { return packagePath() + ".minisig"; }
    VellPackageVerifier trustingFolder() const;

    QTemporaryDir keys;
    QTemporaryDir work;
    MinisignTool trusted;
    MinisignTool stranger;
};

void tst_VellPackageVerifier::initTestCase()
{
    QVERIFY2(keys.isValid(), qPrintable(keys.errorString()));
    for (const char *folder : {"trusted", "other", "update-keys"}) {
        QVERIFY(QDir(keys.path()).mkpath(folder));
    }
    QVERIFY2(trusted.generate(keys.filePath("trusted")), qPrintable(trusted.lastError));
    QVERIFY2(stranger.generate(keys.filePath("other")), qPrintable(stranger.lastError));
    QVERIFY(QFile::copy(trusted.publicKeyPath(), keys.filePath("update-keys/minisign.pub")));
}

void tst_VellPackageVerifier::init()
{
    QVERIFY2(work.isValid(), qPrintable(work.errorString()));
    QFile::remove(signaturePath());
    QVERIFY(writeBytes(packagePath(), randomBytes(300 * 1024)));
}

VellPackageVerifier tst_VellPackageVerifier::trustingFolder() const
{
    return VellPackageVerifier(VellTrustedKeys::fromFolder(keys.filePath("update-keys")));
}

void tst_VellPackageVerifier::acceptsValidSignatures_data()
{
    QTest::addColumn<MinisignTool::Format>("format");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("comment");
    const QByteArray plain = VellTrustedComment::forComponent("vell", "core", "app", "2.0");
    QTest::newRow("prehashed") << MinisignTool::Format::Prehashed << QByteArray("core") << plain;
    QTest::newRow("legacy") << MinisignTool::Format::Legacy << QByteArray("core") << plain;
    const QByteArray odd("my core=1 %\xc5\x82");
    QTest::newRow("name with blank, =, % and UTF-8")
        << MinisignTool::Format::Prehashed << odd
        << VellTrustedComment::forComponent("vell", odd, "app", "2.0");
    QTest::newRow("pairs in another order among other words")
        << MinisignTool::Format::Prehashed << QByteArray("core")
        << QByteArray("built by ci version=2.0 type=app name=core project=vell date=today");
}

void tst_VellPackageVerifier::acceptsValidSignatures()
{
    QFETCH(MinisignTool::Format, format);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, comment);
    QVERIFY2(trusted.sign(packagePath(), comment, format), qPrintable(trusted.lastError));
    QCOMPARE(trustingFolder().verify(
                 packagePath(), signaturePath(), component(name.toStdString(), "2.0")),
        Verdict::Accepted);
}

void tst_VellPackageVerifier::refusesPackages_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<Verdict>("verdict");
    QTest::newRow("one changed byte") << "byte" << Verdict::FileMismatch;
    QTest::newRow("one changed byte, legacy") << "legacy byte" << Verdict::FileMismatch;
    QTest::newRow("one byte appended") << "append" << Verdict::FileMismatch;
    QTest::newRow("unknown key") << "stranger" << Verdict::UnknownKey;
    QTest::newRow("no signature file") << "no signature" << Verdict::NoSignature;
    QTest::newRow("signed for another version") << "version" << Verdict::OtherComponent;
    QTest::newRow("signed for another component") << "name" << Verdict::OtherComponent;
    QTest::newRow("signed for another type") << "type" << Verdict::OtherComponent;
    QTest::newRow("comment without version") << "no version" << Verdict::OtherComponent;
    QTest::newRow("comment edited after signing") << "edited comment" << Verdict::CommentMismatch;
    QTest::newRow("truncated signature") << "truncated" << Verdict::DamagedSignature;
    QTest::newRow("garbage signature") << "garbage" << Verdict::DamagedSignature;
    QTest::newRow("empty signature") << "empty" << Verdict::DamagedSignature;
    QTest::newRow("package missing") << "no package" << Verdict::UnreadablePackage;
}

void tst_VellPackageVerifier::refusesPackages()
{
    QFETCH(QString, damage);
    QFETCH(Verdict, verdict);
    const QByteArray good = VellTrustedComment::forComponent("vell", "core", "app", "2.0");
    QByteArray comment = good;
    if (damage == "version" || damage == "edited comment") {
        comment = VellTrustedComment::forComponent("vell", "core", "app", "1.0");
    } else if (damage == "name") {
        comment = VellTrustedComment::forComponent("vell", "plugins", "app", "2.0");
    } else if (damage == "type") {
        comment = VellTrustedComment::forComponent("vell", "core", "plugin", "2.0");
    } else if (damage == "no version") {
        comment = "vell-package project=vell name=core type=app";
    }
    MinisignTool &signer = damage == "stranger" ? stranger : trusted;
    const auto format
        = damage == "legacy byte" ? MinisignTool::Format::Legacy : MinisignTool::Format::Prehashed;
    QVERIFY2(signer.sign(packagePath(), comment, format), qPrintable(signer.lastError));

    QByteArray package = readBytes(packagePath());
    QByteArray signature = readBytes(signaturePath());
    if (damage.endsWith("byte")) {
        package[123456] = char(package.at(123456) ^ 1);
    } else if (damage == "append") {
        package += '\0';
    } else if (damage == "edited comment") {
        signature.replace("version=1.0", "version=2.0");
    } else if (damage == "truncated") {
        signature.truncate(signature.size() / 2);
    } else if (damage == "garbage") {
        signature = randomBytes(200);
    } else if (damage == "empty") {
        signature.clear();
    }
    QVERIFY(writeBytes(packagePath(), package));
    QVERIFY(writeBytes(signaturePath(), signature));
    if (damage == "no signature") {
        QVERIFY(QFile::remove(signaturePath()));
    } else if (damage == "no package") {
        QVERIFY(QFile::remove(packagePath()));
    }

    QCOMPARE(
        trustingFolder().verify(packagePath(), signaturePath(), component("core", "2.0")), verdict);
}

void tst_VellPackageVerifier::withoutKeysEveryPackagePasses()
{
    QVERIFY(QDir(work.path()).mkpath("empty"));
    for (const QString &folder : {work.filePath("absent"), work.filePath("empty")}) {
        const VellTrustedKeys none = VellTrustedKeys::fromFolder(folder);
        QVERIFY(!none.signaturesRequired());
        QCOMPARE(VellPackageVerifier(none).verify(
                     packagePath(), signaturePath(), component("core", "2.0")),
            Verdict::Accepted);
    }
}

void tst_VellPackageVerifier::readsEveryKeyOfFolder()
{
    QTemporaryDir folder;
    QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
    QVERIFY(QFile::copy(stranger.publicKeyPath(), folder.filePath("a.pub")));
    QVERIFY(QFile::copy(trusted.publicKeyPath(), folder.filePath("b-any-name")));
    QVERIFY(writeBytes(folder.filePath("notes.txt"), "not a key"));
    const VellPackageVerifier verifier(VellTrustedKeys::fromFolder(folder.path()));
    for (MinisignTool *signer : {&stranger, &trusted}) {
        QVERIFY2(signer->sign(
                     packagePath(), VellTrustedComment::forComponent("vell", "core", "app", "2.0")),
            qPrintable(signer->lastError));
        QCOMPARE(verifier.verify(packagePath(), signaturePath(), component("core", "2.0")),
            Verdict::Accepted);
    }
}

void tst_VellPackageVerifier::damagedKeyFileStillRequiresSignatures()
{
    QTemporaryDir folder;
    QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
    QByteArray key = readBytes(trusted.publicKeyPath());
    key.chop(10);
    QVERIFY(writeBytes(folder.filePath("minisign.pub"), key));
    QVERIFY(writeBytes(folder.filePath(".hidden.pub"), readBytes(trusted.publicKeyPath())));
    const VellTrustedKeys keys = VellTrustedKeys::fromFolder(folder.path());
    QVERIFY(keys.signaturesRequired());

    QVERIFY2(
        trusted.sign(packagePath(), VellTrustedComment::forComponent("vell", "core", "app", "2.0")),
        qPrintable(trusted.lastError));
    QCOMPARE(
        VellPackageVerifier(keys).verify(packagePath(), signaturePath(), component("core", "2.0")),
        Verdict::UnknownKey);
    QFile::remove(signaturePath());
    QCOMPARE(
        VellPackageVerifier(keys).verify(packagePath(), signaturePath(), component("core", "2.0")),
        Verdict::NoSignature);
}

void tst_VellPackageVerifier::refusalTextNamesPackage()
{
    for (const Verdict verdict : {Verdict::NoSignature, Verdict::DamagedSignature,
             Verdict::UnknownKey, Verdict::FileMismatch, Verdict::CommentMismatch,
             Verdict::OtherComponent, Verdict::UnreadablePackage}) {
        QVERIFY(VellPackageVerifier::refusalText(verdict, "core 2.0").contains("core 2.0"));
    }
    QVERIFY(VellPackageVerifier::refusalText(Verdict::Accepted, "core").isEmpty());
}

QTEST_GUILESS_MAIN(tst_VellPackageVerifier)
#include "tst_vellpackageverifier.moc"
