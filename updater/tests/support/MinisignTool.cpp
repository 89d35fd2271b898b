#include "MinisignTool.h"

#include <QFile>
#include <QProcess>

bool MinisignTool::generate(const QString &folder, const QString &baseName)
{
    publicKey = folder + QLatin1Char('/') + baseName + QLatin1String(".pub");
    secretKey = folder + QLatin1Char('/') + baseName + QLatin1String(".sec");
    return run({QStringLiteral("-G"), QStringLiteral("-f"), QStringLiteral("-W"),
        QStringLiteral("-p"), publicKey, QStringLiteral("-s"), secretKey});
}

bool MinisignTool::sign(const QString &file, const QByteArray &trustedComment, Format format,
    const QString &signaturePath)
{
    QStringList arguments {QStringLiteral("-S"), QStringLiteral("-s"), secretKey,
        QStringLiteral("-m"), file, QStringLiteral("-t"), QString::fromUtf8(trustedComment)};
    if (format == Format::Legacy) {
        arguments << QStringLiteral("-l");
    }
    if (!signaturePath.isEmpty()) {
        arguments << QStringLiteral("-x") << signaturePath;
    }
    return run(arguments);
}

bool MinisignTool::run(const QStringList &arguments)
{
    QProcess minisign;
    minisign.setProcessChannelMode(QProcess::MergedChannels);
    minisign.start(QStringLiteral("minisign"), arguments);
    // A password prompt would wait for ever: give it no input.
    minisign.closeWriteChannel();
    if (!minisign.waitForFinished(60000) || minisign.exitStatus() != QProcess::NormalExit
        || minisign.exitCode() != 0) {
        lastError = QStringLiteral("minisign %1: %2 %3")
                        .arg(arguments.join(QLatin1Char(' ')), minisign.errorString(),
                            QString::fromLocal8Bit(minisign.readAll()));
        return false;
    }
    return true;
}
