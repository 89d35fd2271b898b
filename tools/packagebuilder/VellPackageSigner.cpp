#include "VellPackageSigner.h"

#include "VellTrustedComment.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>

VellPackageSigner::VellPackageSigner(const QString &secretKeyPath)
    : secretKeyPath(secretKeyPath)
{ }

QStringList VellPackageSigner::arguments(const QString &archivePath, const QString &project,
    const QString &name, const QString &type, const QString &version) const
{
    QByteArray comment = VellTrustedComment::forComponent(
        project.toUtf8(), name.toUtf8(), type.toUtf8(), version.toUtf8());
    if (!expiry.isEmpty()) {
        comment += " expires=" + VellTrustedComment::percentEncode(expiry.toLatin1());
    }
    return {QStringLiteral("-S"), QStringLiteral("-s"), secretKeyPath, QStringLiteral("-m"),
        archivePath, QStringLiteral("-t"), QString::fromLatin1(comment)};
}

bool VellPackageSigner::setExpiry(const QString &utc, QString *errorText)
{
    // Exactly the one form the updater reads, so a typo cannot pass as a time it ignores.
    static const QRegularExpression form(
        QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$"));
    if (!form.match(utc).hasMatch() || !QDateTime::fromString(utc, Qt::ISODate).isValid()) {
        if (errorText) {
            *errorText = QStringLiteral("\"%1\" is not a time YYYY-MM-DDTHH:MM:SSZ (UTC)").arg(utc);
        }
        return false;
    }
    expiry = utc;
    return true;
}

QString VellPackageSigner::commandLine(const QStringList &arguments) const
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=+:,@%-]+$"));
    QStringList words;
    for (const QString &word : QStringList(program) + arguments) {
        if (plain.match(word).hasMatch()) {
            words << word;
        } else {
            QString quoted = word;
            quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
            words << QLatin1Char('\'') + quoted + QLatin1Char('\'');
        }
    }
    return words.join(QLatin1Char(' '));
}

bool VellPackageSigner::run(const QStringList &arguments, QString *errorText) const
{
    QProcess minisign;
    minisign.setProcessChannelMode(QProcess::ForwardedChannels);
    minisign.setInputChannelMode(QProcess::ForwardedInputChannel);
    minisign.start(program, arguments);
    if (!minisign.waitForFinished(-1) || minisign.exitStatus() != QProcess::NormalExit) {
        *errorText = QStringLiteral("%1: %2").arg(program, minisign.errorString());
        return false;
    }
    if (minisign.exitCode() != 0) {
        *errorText
            = QStringLiteral("%1 failed with exit code %2").arg(program).arg(minisign.exitCode());
        return false;
    }
    return true;
}
