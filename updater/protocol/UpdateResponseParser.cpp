#include "UpdateResponseParser.h"

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QString>

namespace {

std::string utf8(const QString &text)
{
    return text.toUtf8().toStdString();
}

// Only the first direct child of that name counts; a missing one reads as empty.
std::string childText(const QDomElement &element, const QString &name)
{
    return utf8(element.firstChildElement(name).text());
}

bool hasNoUpdateMark(const QDomElement &request)
{
    for (QDomNode child = request.firstChild(); !child.isNull(); child = child.nextSibling()) {
        const QString name = child.nodeName();
        if (name == QLatin1String("latest") || name == QLatin1String("noSuchUpdate")
            || name == QLatin1String("noSuchComponent")) {
            return true;
        }
    }
    return false;
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

Update updateFrom(const QDomElement &request)
{
    return Update(utf8(request.attribute(QStringLiteral("project"))),
        utf8(request.attribute(QStringLiteral("name"))),
        utf8(request.attribute(QStringLiteral("type"))),
        childText(request, QStringLiteral("version")),
        childText(request, QStringLiteral("description")),
        childText(request, QStringLiteral("copyrights")),
        childText(request, QStringLiteral("author")), childText(request, QStringLiteral("webpage")),
        childText(request, QStringLiteral("email")),
        childText(request, QStringLiteral("changelog")), childText(request, QStringLiteral("link")),
        request.firstChildElement(QStringLiteral("critical")).text() == QLatin1String("true"),
        timestampFrom(request.firstChildElement(QStringLiteral("timestamp")).text()));
}

} // namespace

bool UpdateResponseParser::parse(
    const QByteArray &response, std::vector<Update> &updates, QString *errorText)
{
    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    if (!document.setContent(response, false, &message, &line, &column)) {
        if (errorText) {
            *errorText
                = QStringLiteral("%1 (line %2, column %3)").arg(message).arg(line).arg(column);
        }
        return false;
    }
    std::vector<Update> found = updatesFrom(document);
    updates.insert(updates.end(), found.begin(), found.end());
    return true;
}

std::vector<Update> UpdateResponseParser::updatesFrom(const QDomDocument &response)
{
    std::vector<Update> updates;
    // elementsByTagName walks the whole tree in document order, the root included.
    const QDomNodeList requests = response.elementsByTagName(QStringLiteral("request"));
    for (int i = 0; i < requests.count(); ++i) {
        const QDomElement request = requests.at(i).toElement();
        if (!hasNoUpdateMark(request)) {
            updates.push_back(updateFrom(request));
        }
    }
    return updates;
}
