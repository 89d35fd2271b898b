#include "VellQueryExchange.h"

#include "UpdateResponseParser.h"
#include "VellUpdateServerAddress.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <algorithm>

namespace {

// The socket buffers no more than this: a flooding server is held back by
// the kernel instead of filling our memory.
constexpr qint64 SocketBufferBytes = 64 * 1024;

/** The shorter of a step's own limit and what is left of the whole exchange. */
int waitMs(int stepLimitMs, const QDeadlineTimer &exchangeDeadline)
{
    return int(std::min<qint64>(stepLimitMs, exchangeDeadline.remainingTime()));
}

} // namespace

VellQueryExchange::VellQueryExchange(QTcpSocket &socket, const VellUpdaterEngine::Limits &limits)
    : socket(socket)
    , limits(limits)
{ }

VellQueryExchange::Outcome VellQueryExchange::run(
    const VellUpdateServerAddress &server, const QByteArray &query)
{
    updates.clear();
    errorText.clear();
    const QDeadlineTimer exchangeDeadline(limits.exchangeMs);
    socket.abort();
    socket.setReadBufferSize(SocketBufferBytes);
    socket.connectToHost(server.host(), server.port(), QIODevice::ReadWrite);
    if (!socket.waitForConnected(waitMs(limits.connectMs, exchangeDeadline))) {
        errorText = socket.errorString();
        return Outcome::NotConnected;
    }
    socket.write(query);
    socket.waitForBytesWritten(waitMs(limits.writeMs, exchangeDeadline));
    return readAnswer(exchangeDeadline);
}

VellQueryExchange::Outcome VellQueryExchange::readAnswer(const QDeadlineTimer &exchangeDeadline)
{
    UpdateResponseParser::Bounds bounds;
    bounds.maxBytes = limits.maxAnswerBytes;
    bounds.maxDepth = limits.maxAnswerDepth;
    bounds.maxRequests = limits.maxAnswerRequests;
    UpdateResponseParser parser(bounds);
    // A quick server may have answered while the query was still being
    // written: start from what is already buffered, or we would wait for
    // more bytes that never come.
    UpdateResponseParser::Status status = parser.addData(socket.readAll());
    while (status == UpdateResponseParser::Status::Incomplete) {
        const int wait = waitMs(limits.answerSilenceMs, exchangeDeadline);
        const bool moreToCome = wait > 0 && socket.waitForReadyRead(wait);
        status = parser.addData(socket.readAll());
        if (!moreToCome && status == UpdateResponseParser::Status::Incomplete) {
            // Silence, the end of the deadline or of the connection: what
            // the parser held back may still complete the document.
            status = parser.finish();
        }
        if (!moreToCome) {
            break;
        }
    }
    if (status == UpdateResponseParser::Status::Complete) {
        // Bytes that came with or right after the end of the document belong
        // to the answer: junk there spoils it, however the segments fell. The
        // server need not close the connection, so nothing more is awaited.
        parser.addData(socket.readAll());
        status = parser.finish();
    }
    if (status != UpdateResponseParser::Status::Complete) {
        errorText = parser.errorString();
        return Outcome::CommunicationFailed;
    }
    updates = parser.takeUpdates();
    return Outcome::Answered;
}
