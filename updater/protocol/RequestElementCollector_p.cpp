#include "RequestElementCollector_p.h"

#include <QStringRef>
#include <QXmlStreamAttributes>

namespace {

enum Field {
    Version,
    Description,
    Copyrights,
    Author,
    Webpage,
    Email,
    Changelog,
    Link,
    Critical,
    Timestamp,
    FieldCount
};

const QLatin1String FieldNames[FieldCount] = {QLatin1String("version"),
    QLatin1String("description"), QLatin1String("copyrights"), QLatin1String("author"),
    QLatin1String("webpage"), QLatin1String("email"), QLatin1String("changelog"),
    QLatin1String("link"), QLatin1String("critical"), QLatin1String("timestamp")};

int fieldNamed(const QStringRef &name)
{
    for (int field = 0; field < FieldCount; ++field) {
        if (name == FieldNames[field]) {
            return field;
        }
    }
    return -1;
}

bool isNoUpdateMark(const QStringRef &name)
{
    return name == QLatin1String("latest") || name == QLatin1String("noSuchUpdate")
        || name == QLatin1String("noSuchComponent");
}

// Blanks as XML counts them, however they were written (a character
// reference to a space included).
bool isBlank(const QStringRef &text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n')
            && c != QLatin1Char('\r')) {
            return false;
        }
    }
    return true;
}

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// An unsigned decimal number and nothing else (surrounding blanks aside);
// anything else, an overflow included, reads as 0.
unsigned int timestampFrom(const QString &text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty()) {
        return 0;
    }
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return 0;
        }
    }
    bool ok = false;
    const unsigned int value = digits.toUInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

struct RequestElementCollector::OpenRequest
{
    int depth = 0; // of the request element itself
    std::size_t record = 0;
    QString project;
    QString name;
    QString type;
    QString fields[FieldCount];
    bool fieldSeen[FieldCount] = {};
    int collecting = -1; // the field whose element is open, if any
    bool hasNoUpdateMark = false;

    std::unique_ptr<Update> toUpdate() const
    {
        return std::unique_ptr<Update>(new Update(utf8(project), utf8(name), utf8(type),
            utf8(fields[Version]), utf8(fields[Description]), utf8(fields[Copyrights]),
            utf8(fields[Author]), utf8(fields[Webpage]), utf8(fields[Email]),
            utf8(fields[Changelog]), utf8(fields[Link]), fields[Critical] == QLatin1String("true"),
            timestampFrom(fields[Timestamp])));
    }
};

RequestElementCollector::RequestElementCollector(int maxRequests, qint64 maxTextCharacters)
    : maxRequests(maxRequests)
    , maxTextCharacters(maxTextCharacters)
{ }

RequestElementCollector::~RequestElementCollector() = default;

bool RequestElementCollector::startElement(
    const QStringRef &name, const QXmlStreamAttributes &attributes, QString &errorText)
{
    endTextRun();
    ++openElements;
    // Only the innermost open request can have the new element as a direct child.
    if (!openRequests.empty() && openRequests.back()->depth + 1 == openElements) {
        childStarted(*openRequests.back(), name);
    }
    if (name != QLatin1String("request")) {
        return true;
    }
    if (++requestCount > maxRequests) {
        errorText = QStringLiteral("the answer has more than %1 request elements").arg(maxRequests);
        return false;
    }
    std::unique_ptr<OpenRequest> request(new OpenRequest);
    request->depth = openElements;
    request->record = records.size();
    request->project = attributes.value(QLatin1String("project")).toString();
    request->name = attributes.value(QLatin1String("name")).toString();
    request->type = attributes.value(QLatin1String("type")).toString();
    if (!countKept(
            request->project.size() + request->name.size() + request->type.size(), errorText)) {
        return false;
    }
    records.emplace_back();
    openRequests.push_back(std::move(request));
    return true;
}

void RequestElementCollector::childStarted(OpenRequest &request, const QStringRef &name)
{
    if (isNoUpdateMark(name)) {
        request.hasNoUpdateMark = true;
        return;
    }
    const int field = fieldNamed(name);
    if (field >= 0 && !request.fieldSeen[field]) {
        request.fieldSeen[field] = true;
        request.collecting = field;
    }
}

void RequestElementCollector::endElement()
{
    endTextRun();
    if (!openRequests.empty()) {
        OpenRequest &request = *openRequests.back();
        if (request.depth == openElements) {
            if (!request.hasNoUpdateMark) {
                records[request.record] = request.toUpdate();
            }
            openRequests.pop_back();
        } else if (request.depth + 1 == openElements) {
            request.collecting = -1;
        }
    }
    --openElements;
}

void RequestElementCollector::processingInstruction(const QStringRef &target)
{
    endTextRun();
    if (!openRequests.empty() && openRequests.back()->depth == openElements
        && isNoUpdateMark(target)) {
        openRequests.back()->hasNoUpdateMark = true;
    }
}

void RequestElementCollector::otherMarkup()
{
    endTextRun();
}

bool RequestElementCollector::characters(const QStringRef &text, bool isCData, QString &errorText)
{
    if (isCData) {
        endTextRun();
        return keepText(text.toString(), errorText);
    }
    if (!runHasText && isBlank(text)) {
        pendingBlanks += text;
        return true;
    }
    if (!runHasText) {
        runHasText = true;
        const QString blanks = pendingBlanks;
        pendingBlanks.clear();
        if (!keepText(blanks, errorText)) {
            return false;
        }
    }
    return keepText(text.toString(), errorText);
}

void RequestElementCollector::endTextRun()
{
    pendingBlanks.clear();
    runHasText = false;
}

// The text goes to the open field of every open request.
bool RequestElementCollector::keepText(const QString &text, QString &errorText)
{
    if (text.isEmpty()) {
        return true;
    }
    for (const std::unique_ptr<OpenRequest> &request : openRequests) {
        if (request->collecting < 0) {
            continue;
        }
        if (!countKept(text.size(), errorText)) {
            return false;
        }
        request->fields[request->collecting] += text;
    }
    return true;
}

bool RequestElementCollector::countKept(qint64 characters, QString &errorText)
{
    keptCharacters += characters;
    if (keptCharacters > maxTextCharacters) {
        errorText = QStringLiteral("the answer's records would hold more than %1 characters")
                        .arg(maxTextCharacters);
        return false;
    }
    return true;
}

std::vector<Update> RequestElementCollector::takeUpdates()
{
    std::vector<Update> updates;
    for (const std::unique_ptr<Update> &record : records) {
        if (record) {
            updates.push_back(*record);
        }
    }
    records.clear();
    return updates;
}
