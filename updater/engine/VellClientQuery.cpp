#include "VellClientQuery.h"

#include "VellSystemError.h"
#include "VellText.h"

#include <QProcess>

#include <cstring>

namespace {

/**
 * Why the program could not be started. Qt words it as "execvp: <the C
 * library's text>"; the C library's part is the reason, in the user's
 * language where it has a translation.
 */
QString startFailureReason(const QProcess &client)
{
    QString reason = client.errorString();
    const int colon = reason.indexOf(QLatin1String(": "));
    if (colon > 0 && !reason.left(colon).contains(QLatin1Char(' '))) {
        reason = reason.mid(colon + 2);
    }
    return VellSystemError::fromText(reason);
}

// What a failing client said last is usually why it failed.
QString lastLine(const QByteArray &output)
{
    constexpr int MaxLength = 200;
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last().trimmed().left(MaxLength));
}

void setError(QString *errorText, const QString &text)
{
    if (errorText) {
        *errorText = text;
    }
}

} // namespace

QByteArray VellClientQuery::read(const QString &program, QString *errorText)
{
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program, {QStringLiteral("-updatequery")}, QIODevice::ReadWrite);
    if (!client.waitForStarted(-1)) {
        setError(errorText,
            VellText::tr("The client program %1 could not be started: %2", "nc")
                .arg(program, startFailureReason(client)));
        return QByteArray();
    }
    // The client has nothing to read from us; let it see the end of its input.
    client.closeWriteChannel();
    client.waitForFinished(-1);
    if (client.exitStatus() == QProcess::CrashExit) {
        // After a crash Qt gives the signal's number as the exit code.
        setError(errorText,
            VellText::tr("The client program %1 was ended by signal %2 (%3).", "nc")
                .arg(program)
                .arg(client.exitCode())
                .arg(QString::fromLocal8Bit(::strsignal(client.exitCode()))));
        return QByteArray();
    }
    const QByteArray output = client.readAll();
    if (client.exitCode() != 0) {
        const QString said = lastLine(output);
        setError(errorText,
            said.isEmpty()
                ? VellText::tr("The client program %1 ended with exit status %2.", "nc")
                      .arg(program)
                      .arg(client.exitCode())
                : VellText::tr("The client program %1 ended with exit status %2: %3", "nc")
                      .arg(program, QString::number(client.exitCode()), said));
        return QByteArray();
    }
    const QByteArray query = extract(output);
    if (query.isEmpty()) {
        setError(errorText,
            VellText::tr("The client program %1 printed no update query.", "nc").arg(program));
    }
    return query;
}

QByteArray VellClientQuery::extract(const QByteArray &output)
{
    static const QByteArray open("<s>");
    static const QByteArray close("</s>");
    const int begin = output.indexOf(open);
    const int end = output.lastIndexOf(close);
    if (begin < 0 || end < begin + open.size()) {
        return QByteArray();
    }
    QByteArray query = output.mid(begin, end + close.size() - begin);
    const int nul = query.indexOf('\0');
    if (nul >= 0) {
        query.truncate(nul);
    }
    return QString::fromLatin1(query).toUtf8();
}
