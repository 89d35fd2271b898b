#include "SignatureFault.h"

#include "VellTrustedComment.h"

#include <QtTest>

namespace {
// What an edited comment claimed when it was signed.
const QByteArray SignedVersion = "0.9";
} // namespace

void SignatureFault::addRows()
{
    using Verdict = VellPackageVerifier::Verdict;
    QTest::addColumn<Kind>("fault");
    QTest::addColumn<Verdict>("verdict");
    QTest::newRow("one changed byte") << ChangedByte << Verdict::FileMismatch;
    QTest::newRow("one changed byte, legacy") << ChangedByteLegacy << Verdict::FileMismatch;
    QTest::newRow("one byte appended") << AppendedByte << Verdict::FileMismatch;
    QTest::newRow("unknown key") << UnknownKey << Verdict::UnknownKey;
    QTest::newRow("no signature file") << NoSignature << Verdict::NoSignature;
    QTest::newRow("signed for another version") << OtherVersion << Verdict::OtherComponent;
    QTest::newRow("signed for another component") << OtherName << Verdict::OtherComponent;
    QTest::newRow("signed for another type") << OtherType << Verdict::OtherComponent;
    QTest::newRow("comment without version") << NoVersion << Verdict::OtherComponent;
    QTest::newRow("comment edited after signing") << EditedComment << Verdict::CommentMismatch;
    QTest::newRow("truncated signature") << TruncatedSignature << Verdict::DamagedSignature;
    QTest::newRow("garbage signature") << GarbageSignature << Verdict::DamagedSignature;
    QTest::newRow("empty signature") << EmptySignature << Verdict::DamagedSignature;
}

MinisignTool::Format SignatureFault::format() const
{
    return kind == ChangedByteLegacy ? MinisignTool::Format::Legacy
                                     : MinisignTool::Format::Prehashed;
}

QByteArray SignatureFault::comment(const QByteArray &project, const QByteArray &name,
    const QByteArray &type, const QByteArray &version) const
{
    switch (kind) {
    case OtherVersion:
    case EditedComment:
        return VellTrustedComment::forComponent(project, name, type, SignedVersion);
    case OtherName:
        return VellTrustedComment::forComponent(project, name + "-other", type, version);
    case OtherType:
        return VellTrustedComment::forComponent(
            project, name, type == "app" ? "plugin" : "app", version);
    case NoVersion:
        return "vell-package project=" + project + " name=" + name + " type=" + type;
    default:
        return VellTrustedComment::forComponent(project, name, type, version);
    }
}

void SignatureFault::damage(
    QByteArray &package, QByteArray &signature, const QByteArray &version) const
{
    switch (kind) {
    case ChangedByte:
    case ChangedByteLegacy:
        package[package.size() / 2] = char(package.at(package.size() / 2) ^ 1);
        break;
    case AppendedByte:
        package += '\0';
        break;
    case EditedComment:
        signature.replace("version=" + SignedVersion, "version=" + version);
        break;
    case TruncatedSignature:
        signature.truncate(signature.size() / 2);
        break;
    case GarbageSignature:
        signature = QByteArray(200, '\xff');
        break;
    case EmptySignature:
        signature.clear();
        break;
    default:
        break;
    }
}
