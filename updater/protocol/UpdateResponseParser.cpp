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

    Status read(const QByteArray &bytes);
    Status fail(const QString &reason);

    const Bounds bounds;
    XmlChunkGate gate;
    RequestElementCollector collector;
    QXmlStreamReader reader;
    qint64 receivedBytes = 0;
    Status status = Status::Incomplete;
    QString errorText;
};

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

UpdateResponseParser::Status UpdateResponseParser::addData(const QByteArray &chunk)
{
    if (d->status != Status::Incomplete) {
        return d->status;
    }
    d->receivedBytes += chunk.size();
    if (d->receivedBytes > d->bounds.maxBytes) {
        return d->fail(
            QStringLiteral("the answer is longer than %1 bytes").arg(d->bounds.maxBytes));
    }
    QByteArray ready;
    QString reason;
    if (!d->gate.pass(chunk, ready, reason)) {
        return d->fail(reason);
    }
    return d->read(ready);
}

UpdateResponseParser::Status UpdateResponseParser::finish()
{
    if (d->status != Status::Incomplete) {
        return d->status;
    }
    return d->read(d->gate.release());
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
