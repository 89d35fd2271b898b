#ifndef VELLQUERYEXCHANGE_H
#define VELLQUERYEXCHANGE_H

#include "Update.h"
#include "VellUpdaterEngine.h"

#include <QByteArray>
#include <QString>

#include <vector>

class QDeadlineTimer;
class QTcpSocket;
class VellUpdateServerAddress;

/**
 * One exchange with the update server: connects, writes the query and reads
 * the answer until the bytes received form a complete document.
 *
 * Every wait is bounded twice: by its own limit (to connect, to write, of
 * silence between two chunks of the answer) and by one deadline for the whole
 * exchange, so a server that trickles bytes cannot keep the check waiting.
 * The answer is parsed as it arrives and refused as soon as it breaks one of
 * the parser's bounds.
 */
class VellQueryExchange
{
public:
    enum class Outcome { Answered, NotConnected, CommunicationFailed };

    /** Works on socket, which stays open after the exchange. */
    VellQueryExchange(QTcpSocket &socket, const VellUpdaterEngine::Limits &limits);

    Outcome run(const VellUpdateServerAddress &server, const QByteArray &query);
    /** The updates of the answer, after Answered. */
    std::vector<Update> takeUpdates() { return std::move(updates); }
    /** Why the exchange failed, for diagnostics. */
    QString errorString() const { return errorText; }

private:
    Outcome readAnswer(const QDeadlineTimer &exchangeDeadline);

    QTcpSocket &socket;
    const VellUpdaterEngine::Limits limits;
    std::vector<Update> updates;
    QString errorText;
};

#endif // VELLQUERYEXCHANGE_H
