#include "UpdateResponseParser.h"

#include "RequestElementCollector_p.h"
#include "XmlChunkGate_p.h"

#include <QByteArray>
#include <QXmlStreamReader>

class UpdateResponseParser::Private
{
public:
    explicit Private(const Bounds &bounds)
        : bounds(bounds)
        , gate(bounds.maxAttributes)
        , collector(bounds.maxRequests, bounds.maxBytes)
    {
        reader.setNamespaceProcessing(false);
    }

    Status feed(const QByteArray &chunk);
    Status drain();
    Status read(const QByteArray &bytes);
    Status fail(const QString &reason);
    Status confirmWhole();

    const Bounds bounds;
    XmlChunkGate gate;
    RequestElementCollector collector;
    QXmlStreamReader reader;
    Status status = Status::Incomplete;
    QString errorText;

    // The reader's verdict on a document that came in pieces can depend on
    // where they were cut (a "]]>" split in two, an encoding declaration that
    // had not arrived yet, bytes after the root element that arrived after
    // it). The pieces are kept, and a document complete in pieces is read
    // once more whole: that reading has the last word.
    QByteArray received;
    int pieces = 0;
    bool bytesAfterEnd = false; ///< bytes came after the document was complete
    bool confirmed = false; ///< confirmedUpdates come from the whole reading
    std::vector<Update> confirmedUpdates;
};

UpdateResponseParser::Status UpdateResponseParser::Private::feed(const QByteArray &chunk)
{
    QByteArray ready;
    QString reason;
    if (!gate.pass(chunk, ready, reason)) {
        return fail(reason);
    }
    return read(ready);
}

UpdateResponseParser::Status UpdateResponseParser::Private::drain()
{
    return read(gate.release());
}

UpdateResponseParser::Status UpdateResponseParser::Private::confirmWhole()
{
    Private whole(bounds);
    if (whole.feed(received) == Status::Incomplete) {
        whole.drain();
    }
    if (whole.status != Status::Complete) {
        return fail(whole.status == Status::Failed
                ? whole.errorText
                : QStringLiteral("bytes after the end of the answer: %1").arg(whole.errorText));
    }
    confirmedUpdates = whole.collector.takeUpdates();
    confirmed = true;
    bytesAfterEnd = false;
    return status;
}

UpdateResponseParser::Status UpdateResponseParser::Private::fail(const QString &reason)
{
    errorText = reason;
    status = Status::Failed;
    return status;
}

// Reads the tokens of the bytes handed over so far; the reader keeps its
// place between calls, so every byte is read once.
UpdateResponseParser::Status UpdateResponseParser::Private::read(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        return status;
    }
    reader.addData(bytes);
    QString reason;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return fail(QStringLiteral("the answer holds a document type declaration"));
        case QXmlStreamReader::StartElement:
            if (collector.depth() >= bounds.maxDepth) {
                return fail(
                    QStringLiteral("the answer nests more than %1 elements").arg(bounds.maxDepth));
            }
            if (!collector.startElement(reader.qualifiedName(), reader.attributes(), reason)) {
                return fail(reason);
            }
            break;
        case QXmlStreamReader::EndElement:
            collector.endElement();
            break;
        case QXmlStreamReader::Characters:
            if (!collector.characters(reader.text(), reader.isCDATA(), reason)) {
                return fail(reason);
            }
            break;
        case QXmlStreamReader::ProcessingInstruction:
            collector.processingInstruction(reader.processingInstructionTarget());
            break;
        case QXmlStreamReader::EndDocument:
            errorText.clear();
            status = Status::Complete;
            return status;
        case QXmlStreamReader::Invalid:
            if (reader.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
                return fail(QStringLiteral("%1 (line %2, column %3)")
                                .arg(reader.errorString())
                                .arg(reader.lineNumber())
                                .arg(reader.columnNumber()));
            }
            errorText = reader.errorString();
            return status;
        default:
            collector.otherMarkup();
            break;
        }
    }
    return status;
}

UpdateResponseParser::UpdateResponseParser()
    : UpdateResponseParser(Bounds())
{ }

UpdateResponseParser::UpdateResponseParser(const Bounds &bounds)
    : d(new Private(bounds))
{
    d->errorText = QStringLiteral("the answer is empty");
}

UpdateResponseParser::~UpdateResponseParser() = default;

namespace {

bool looksLikeUtf16(const QByteArray &start)
{
    return start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF")
        || start.startsWith(QByteArray("<\0", 2)) || start.startsWith(QByteArray("\0<", 2));
}

} // namespace

UpdateResponseParser::Status UpdateResponseParser::addData(const QByteArray &chunk)
{
    if (d->status == Status::Failed || chunk.isEmpty()) {
        return d->status;
    }
    if (d->received.size() + qint64(chunk.size()) > d->bounds.maxBytes) {
        return d->fail(
            QStringLiteral("the answer is longer than %1 bytes").arg(d->bounds.maxBytes));
    }
    const int before = d->received.size();
    d->received.append(chunk);
    ++d->pieces;
    // No document in a one-byte encoding holds a NUL byte (UTF-16 ones do, and
    // tell by their first two bytes). Judged on all bytes once two are known,
    // so the verdict cannot depend on the piece a NUL comes in.
    if (d->received.size() >= 2 && !looksLikeUtf16(d->received)
        && (before < 2 ? d->received : chunk).contains('\0')) {
        return d->fail(QStringLiteral("the answer holds a NUL byte"));
    }
    if (d->status == Status::Complete) {
        // Judged by finish(): reading everything again for every late piece
        // would cost quadratic time.
        d->bytesAfterEnd = true;
        return d->status;
    }
    if (d->feed(chunk) == Status::Complete && d->pieces > 1) {
        return d->confirmWhole();
    }
    return d->status;
}

UpdateResponseParser::Status UpdateResponseParser::finish()
{
    if (d->status == Status::Incomplete) {
        // Held-back bytes change nothing in what a whole reading sees: one
        // piece needs no second reading.
        if (d->drain() == Status::Complete && d->pieces > 1) {
            return d->confirmWhole();
        }
    } else if (d->status == Status::Complete && d->bytesAfterEnd) {
        return d->confirmWhole();
    }
    return d->status;
}

UpdateResponseParser::Status UpdateResponseParser::status() const
{
    return d->status;
}

QString UpdateResponseParser::errorString() const
{
    return d->errorText;
}

std::vector<Update> UpdateResponseParser::takeUpdates()
{
    if (d->status != Status::Complete) {
        return std::vector<Update>();
    }
    if (d->confirmed) {
        return std::move(d->confirmedUpdates);
    }
    return d->collector.takeUpdates();
}

bool UpdateResponseParser::parse(
    const QByteArray &response, std::vector<Update> &updates, QString *errorText)
{
    UpdateResponseParser parser;
    parser.addData(response);
    if (parser.finish() != Status::Complete) {
        if (errorText) {
            *errorText = parser.errorString();
        }
        return false;
    }
    std::vector<Update> found = parser.takeUpdates();
    updates.insert(updates.end(), found.begin(), found.end());
    return true;
}
