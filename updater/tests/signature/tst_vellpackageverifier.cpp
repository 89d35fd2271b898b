// Verification of packages against real minisign signatures: what installs,
// what is refused and why, and the trusted keys folder.

#include "Component.h"
#include "MinisignTool.h"
#include "SignatureFault.h"
#include "VellPackageVerifier.h"
#include "VellTrustedComment.h"
#include "VellTrustedKeys.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

using Verdict = VellPackageVerifier::Verdict;
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
    void refusesMissingPackage();
    void withoutKeysEveryPackagePasses();
    void readsEveryKeyOfFolder();
    void refusalTextNamesPackage();
    void keysFolderFailsClosed_data();
    void keysFolderFailsClosed();
    void refusesOldOrExpired_data();
    void refusesOldOrExpired();
    void refusesSignedDowngrade();

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
    SignatureFault::addRows();
}

void tst_VellPackageVerifier::refusesPackages()
{
    QFETCH(SignatureFault::Kind, fault);
    QFETCH(Verdict, verdict);
    const SignatureFault broken(fault);
    MinisignTool &signer = broken.byUnknownKey() ? stranger : trusted;
    QVERIFY2(
        signer.sign(packagePath(), broken.comment("vell", "core", "app", "2.0"), broken.format()),
        qPrintable(signer.lastError));

    QByteArray package = readBytes(packagePath());
    QByteArray signature = readBytes(signaturePath());
    broken.damage(package, signature, "2.0");
    QVERIFY(writeBytes(packagePath(), package));
    QVERIFY(writeBytes(signaturePath(), signature));
    if (!broken.hasSignature()) {
        QVERIFY(QFile::remove(signaturePath()));
    }

    QCOMPARE(
        trustingFolder().verify(packagePath(), signaturePath(), component("core", "2.0")), verdict);
}

void tst_VellPackageVerifier::refusesMissingPackage()
{
    QVERIFY2(
        trusted.sign(packagePath(), VellTrustedComment::forComponent("vell", "core", "app", "2.0")),
        qPrintable(trusted.lastError));
    QVERIFY(QFile::remove(packagePath()));
    QCOMPARE(trustingFolder().verify(packagePath(), signaturePath(), component("core", "2.0")),
        Verdict::UnreadablePackage);
}

void tst_VellPackageVerifier::withoutKeysEveryPackagePasses()
{
    for (const QString &folder : {work.filePath("absent"), QString()}) {
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

void tst_VellPackageVerifier::refusalTextNamesPackage()
{
    for (const Verdict verdict : {Verdict::NoSignature, Verdict::DamagedSignature,
             Verdict::UnknownKey, Verdict::FileMismatch, Verdict::CommentMismatch,
             Verdict::OtherComponent, Verdict::UnreadablePackage, Verdict::UnusableKeys,
             Verdict::NotNewer, Verdict::Expired}) {
        QVERIFY(VellPackageVerifier::refusalText(verdict, "core 2.0").contains("core 2.0"));
    }
    QVERIFY(VellPackageVerifier::refusalText(Verdict::Accepted, "core").isEmpty());
}

void tst_VellPackageVerifier::keysFolderFailsClosed_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file in its place") << "file"
                                       << "is not a folder";
    QTest::newRow("dangling link in its place") << "dangling"
                                                << "is not a folder";
    QTest::newRow("empty folder") << "empty"
                                  << "holds no valid key";
    QTest::newRow("only a dangling link") << "inner-dangling"
                                          << "holds no valid key";
    QTest::newRow("only a hidden key") << "hidden"
                                       << "holds no valid key";
    QTest::newRow("only a sub-folder") << "subfolder"
                                       << "holds no valid key";
    QTest::newRow("unreadable folder") << "unreadable"
                                       << "cannot be read";
}

void tst_VellPackageVerifier::keysFolderFailsClosed()
{
    QFETCH(QString, setup);
    QFETCH(QString, reason);
    QTemporaryDir scene;
    QVERIFY2(scene.isValid(), qPrintable(scene.errorString()));
    const QString folder = scene.filePath("update-keys");
    const QByteArray key = readBytes(trusted.publicKeyPath());
    if (setup == "file") {
        QVERIFY(writeBytes(folder, key));
    } else if (setup == "dangling") {
        QVERIFY(QFile::link(scene.filePath("gone"), folder));
    } else {
        QVERIFY(QDir(scene.path()).mkdir("update-keys"));
        if (setup == "inner-dangling") {
            QVERIFY(QFile::link(scene.filePath("gone"), folder + "/minisign.pub"));
        } else if (setup == "damaged") {
            QVERIFY(writeBytes(folder + "/minisign.pub", key.left(key.size() - 10)));
        } else if (setup == "hidden") {
            QVERIFY(writeBytes(folder + "/.minisign.pub", key));
        } else if (setup == "subfolder") {
            QVERIFY(QDir(folder).mkdir("minisign.pub"));
        } else if (setup == "unreadable") {
            QVERIFY(writeBytes(folder + "/minisign.pub", key));
            QVERIFY(QFile::setPermissions(
                folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::WriteOwner));
        }
    }
    QVERIFY2(
        trusted.sign(packagePath(), VellTrustedComment::forComponent("vell", "core", "app", "2.0")),
        qPrintable(trusted.lastError));

    // Root reads every folder: the unreadable case is judged by another user.
    const bool asOtherUser = setup == "unreadable" && ::geteuid() == 0;
    if (asOtherUser) {
        QVERIFY(QFile::setPermissions(scene.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                | QFileDevice::ExeOther | QFileDevice::ReadOther));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const bool dropped
                = ::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0;
            const VellTrustedKeys keys = VellTrustedKeys::fromFolder(folder);
            ::_exit(dropped && keys.signaturesRequired() && keys.problem().contains(reason)
                        && keys.problem().contains(folder)
                    ? 0
                    : 1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
            "as uid 65534 the unreadable folder did not require signatures with its reason");
        return;
    }

    const VellTrustedKeys keys = VellTrustedKeys::fromFolder(folder);
    QVERIFY(keys.signaturesRequired());
    QVERIFY2(keys.problem().contains(reason) && keys.problem().contains(folder),
        qPrintable(keys.problem()));
    QString detail;
    const Verdict verdict = VellPackageVerifier(keys).verify(
        packagePath(), signaturePath(), component("core", "2.0"), QByteArray(), &detail);
    QCOMPARE(verdict, Verdict::UnusableKeys);
    QVERIFY(VellPackageVerifier::refusalText(verdict, "core 2.0", detail).contains(folder));
}

void tst_VellPackageVerifier::refusesOldOrExpired_data()
{
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<QByteArray>("offered");
    QTest::addColumn<QByteArray>("installed");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("detail");

    QTest::newRow("newer") << QByteArray() << QByteArray("2.1") << QByteArray("2.0")
                           << Verdict::Accepted << QString();
    QTest::newRow("not installed")
        << QByteArray() << QByteArray("1.0") << QByteArray() << Verdict::Accepted << QString();
    QTest::newRow("older") << QByteArray() << QByteArray("1.0") << QByteArray("2.0")
                           << Verdict::NotNewer
                           << "The version 1.0 is not newer than the installed 2.0.";
    QTest::newRow("same again") << QByteArray() << QByteArray("2.0") << QByteArray("2.0")
                                << Verdict::NotNewer
                                << "The version 2.0 is not newer than the installed 2.0.";
    QTest::newRow("release candidate of the installed")
        << QByteArray() << QByteArray("2.0~rc1") << QByteArray("2.0") << Verdict::NotNewer
        << "The version 2.0~rc1 is not newer than the installed 2.0.";
    QTest::newRow("installed version no version")
        << QByteArray() << QByteArray("2.0") << QByteArray("a:b") << Verdict::NotNewer
        << "The version 2.0 is not newer than the installed a:b.";
    QTest::newRow("downgrade allowed") << QByteArray(" downgrade=allowed") << QByteArray("1.0")
                                       << QByteArray("2.0") << Verdict::Accepted << QString();
    QTest::newRow("downgrade something else")
        << QByteArray(" downgrade=yes") << QByteArray("1.0") << QByteArray("2.0")
        << Verdict::NotNewer << "The version 1.0 is not newer than the installed 2.0.";
    QTest::newRow("before expiry")
        << QByteArray(" expires=2026-06-01T12:00:01Z") << QByteArray("2.1") << QByteArray("2.0")
        << Verdict::Accepted << QString();
    QTest::newRow("past expiry") << QByteArray(" expires=2026-06-01T11:59:59Z") << QByteArray("2.1")
                                 << QByteArray("2.0") << Verdict::Expired
                                 << "The signature expired on 2026-06-01T11:59:59Z (UTC).";
    QTest::newRow("expired downgrade allowed")
        << QByteArray(" downgrade=allowed expires=2026-01-01T00:00:00Z") << QByteArray("1.0")
        << QByteArray("2.0") << Verdict::Expired
        << "The signature expired on 2026-01-01T00:00:00Z (UTC).";
    QTest::newRow("expiry without zone")
        << QByteArray(" expires=2027-06-01T12:00:00") << QByteArray("2.1") << QByteArray("2.0")
        << Verdict::CommentMismatch << QString();
    QTest::newRow("expiry twice") << QByteArray(
        " expires=2027-06-01T12:00:00Z expires=2025-06-01T12:00:00Z")
                                  << QByteArray("2.1") << QByteArray("2.0")
                                  << Verdict::CommentMismatch << QString();
    QTest::newRow("expiry not a date")
        << QByteArray(" expires=2027-13-01T12:00:00Z") << QByteArray("2.1") << QByteArray("2.0")
        << Verdict::CommentMismatch << QString();
}

void tst_VellPackageVerifier::refusesOldOrExpired()
{
    QFETCH(QByteArray, extra);
    QFETCH(QByteArray, offered);
    QFETCH(QByteArray, installed);
    QFETCH(Verdict, verdict);
    QFETCH(QString, detail);
    VellPackageVerifier verifier {VellTrustedKeys()};
    verifier.setNow(QDateTime(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC));
    QString said;
    const QByteArray comment
        = VellTrustedComment::forComponent("vell", "core", "app", offered) + extra;
    QCOMPARE(verifier.checkFreshness(comment, offered, installed, &said), verdict);
    QCOMPARE(said, detail);
}

// The whole way: a genuine signed earlier release offered over a later one.
void tst_VellPackageVerifier::refusesSignedDowngrade()
{
    QVERIFY2(
        trusted.sign(packagePath(), VellTrustedComment::forComponent("vell", "core", "app", "1.0")),
        qPrintable(trusted.lastError));
    QString detail;
    const Verdict verdict = trustingFolder().verify(
        packagePath(), signaturePath(), component("core", "1.0"), "2.0", &detail);
    QCOMPARE(verdict, Verdict::NotNewer);
    QCOMPARE(VellPackageVerifier::refusalText(verdict, "core 1.0", detail),
        QString("The package core 1.0 is refused: it would not update the installed version. "
                "The version 1.0 is not newer than the installed 2.0."));
    QCOMPARE(trustingFolder().verify(packagePath(), signaturePath(), component("core", "1.0")),
        Verdict::Accepted);
}

QTEST_GUILESS_MAIN(tst_VellPackageVerifier)
#include "tst_vellpackageverifier.moc"
