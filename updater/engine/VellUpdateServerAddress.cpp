#include "VellUpdateServerAddress.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace {
// A host name as DNS spells it, or an IPv4 or IPv6 address.
bool isHost(const QString &host)
{
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-"
                       "z0-9])?)*\\.?$"));
    return QHostAddress().setAddress(host) || name.match(host).hasMatch();
}
} // namespace

const char VellUpdateServerAddress::DefaultHost[] = "updates.vell.example";
const char VellUpdateServerAddress::EnvironmentVariable[] = "VELL_UPDATE_SERVER";

VellUpdateServerAddress::VellUpdateServerAddress(const QString &host, quint16 port)
    : serverHost(host)
    , serverPort(port)
{ }

bool VellUpdateServerAddress::parse(const QString &text, VellUpdateServerAddress &address)
{
    const QString trimmed = text.trimmed();
    QString host = trimmed;
    QString portText;
    if (trimmed.startsWith(QLatin1Char('['))) {
        // "[::1]" or "[::1]:port": the brackets keep the address's colons apart.
        const int close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0) {
            return false;
        }
        host = trimmed.mid(1, close - 1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol) {
            return false;
        }
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) {
                return false;
            }
            portText = rest.mid(1);
            if (portText.isEmpty()) {
                return false;
            }
        }
    } else if (trimmed.count(QLatin1Char(':')) == 1) {
        const int colon = trimmed.indexOf(QLatin1Char(':'));
        host = trimmed.left(colon);
        portText = trimmed.mid(colon + 1);
        if (portText.isEmpty()) {
            return false;
        }
    }
    if (!isHost(host)) {
        return false;
    }

    quint16 port = DefaultPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint value = portText.toUInt(&ok, 10);
        if (!ok || value == 0 || value > 65535) {
            return false;
        }
        port = static_cast<quint16>(value);
    }
    address = VellUpdateServerAddress(host, port);
    return true;
}

bool VellUpdateServerAddress::fromEnvironment(VellUpdateServerAddress &address)
{
    const QString configured = qEnvironmentVariable(EnvironmentVariable);
    if (configured.isEmpty()) {
        address = VellUpdateServerAddress();
        return true;
    }
    return parse(configured, address);
}
