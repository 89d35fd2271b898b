#ifndef VELLUPDATESERVERADDRESS_H
#define VELLUPDATESERVERADDRESS_H

#include <QString>

/**
 * Host and port of the update server. The program asks the built-in server
 * unless the environment variable VELL_UPDATE_SERVER names another one as
 * "host" or "host:port" (an IPv6 address as "[address]:port").
 */
class VellUpdateServerAddress
{
public:
    static constexpr quint16 DefaultPort = 34221;
    static const char DefaultHost[];
    static const char EnvironmentVariable[];

    VellUpdateServerAddress(
        const QString &host = QLatin1String(DefaultHost), quint16 port = DefaultPort);

    /**
     * Reads "host" or "host:port". Returns false and leaves address alone when
     * the host is missing or is neither a host name nor an IP address, or the
     * port is not 1 to 65535.
     */
    static bool parse(const QString &text, VellUpdateServerAddress &address);
    /**
     * The address the environment names, or the default when the variable is
     * unset or empty. Returns false and leaves address alone when the
     * variable holds something that is no address: the user asked for
     * another server, and quietly asking the default one instead would hide
     * the mistake.
     */
    static bool fromEnvironment(VellUpdateServerAddress &address);

    QString host() const { return serverHost; }
    quint16 port() const { return serverPort; }

private:
    QString serverHost;
    quint16 serverPort;
};

#endif // VELLUPDATESERVERADDRESS_H
