#include "VellRosterFile.h"

#include "VellBuddyContact.h"
#include "VellBuddyTemporary.h"
#include "VellPresence.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <optional>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VellRosterFile", text);
}

struct Word
{
    const char *word;
    int value;
};

const Word kinds[] = {
    {"account", VellBuddy::Account},
    {"group", VellBuddy::Group},
    {"contact", VellBuddy::Contact},
    {"conference", VellBuddy::Conference},
    {"temporary", VellBuddy::Temporary},
};

const Word presences[] = {
    {"unknown", VellPresence::Unknown},
    {"online", VellPresence::Online},
    {"chat", VellPresence::FreeForChat},
    {"away", VellPresence::Away},
    {"na", VellPresence::NotAvailable},
    {"dnd", VellPresence::DoNotDisturb},
    {"offline", VellPresence::Offline},
    {"invisible", VellPresence::Invisible},
};

template<std::size_t N>
std::optional<int> valueOf(const Word (&table)[N], const QString &word)
{
    for (const Word &entry : table) {
        if (word == QLatin1String(entry.word)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

template<std::size_t N>
QString wordOf(const Word (&table)[N], int value)
{
    for (const Word &entry : table) {
        if (entry.value == value) {
            return QLatin1String(entry.word);
        }
    }
    return QString::number(value);
}

std::optional<int> parseKind(const QString &word)
{
    if (const auto kind = valueOf(kinds, word)) {
        return kind;
    }
    bool isNumber = false;
    const int number = word.toInt(&isNumber);
    return isNumber && number >= 0 ? std::optional<int>(number) : std::nullopt;
}

std::optional<int> parsePresence(const QString &word)
{
    if (const auto flag = valueOf(presences, word)) {
        return flag;
    }
    bool isNumber = false;
    const int number = word.toInt(&isNumber);
    return isNumber && number >= VellPresence::Unknown && number <= VellPresence::Invisible
        ? std::optional<int>(number)
        : std::nullopt;
}

} // namespace

bool VellRosterFile::read(const QString &path, QList<VellBuddy> *entries, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = tr("Cannot read the roster file %1: %2").arg(path, file.errorString());
        }
        return false;
    }
    if (!parse(QString::fromUtf8(file.readAll()), entries, error)) {
        if (error) {
            *error = path % QLatin1Char(':') % *error;
        }
        return false;
    }
    return true;
}

bool VellRosterFile::parse(const QString &text, QList<VellBuddy> *entries, QString *error)
{
    // Fields: kind, id, presence, then the name with its own spaces.
    static const QRegularExpression linePattern(
        QStringLiteral("^(\\S+)\\s+(\\S+)\\s+(\\S+)(?:\\s+(.*))?$"));

    QList<VellBuddy> parsed;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int index = 0; index < lines.size(); ++index) {
        const QString line = lines.at(index).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const auto fail = [&](const QString &reason) {
            if (error) {
                *error = tr("%1: %2").arg(index + 1).arg(reason);
            }
            return false;
        };

        const QRegularExpressionMatch match = linePattern.match(line);
        if (!match.hasMatch()) {
            return fail(tr("expected KIND ID PRESENCE [NAME], found \"%1\"").arg(line));
        }
        const QString id = match.captured(2);
        const QString name = match.captured(4);

        const std::optional<int> kind = parseKind(match.captured(1));
        if (!kind) {
            return fail(tr("unknown kind \"%1\"").arg(match.captured(1)));
        }
        const bool hasPresence = *kind == VellBuddy::Contact || *kind == VellBuddy::Temporary;
        const QString presenceWord = match.captured(3);
        if (presenceWord == QLatin1String("-")) {
            parsed.append(VellBuddy(*kind, id, name));
            continue;
        }
        if (!hasPresence) {
            return fail(
                tr("a %1 entry has no presence: write - in its place").arg(kindName(*kind)));
        }
        const std::optional<int> flag = parsePresence(presenceWord);
        if (!flag) {
            return fail(tr("unknown presence \"%1\"").arg(presenceWord));
        }
        const VellPresence presence(*flag);
        if (*kind == VellBuddy::Contact) {
            parsed.append(VellBuddyContact(id, name, presence));
        } else {
            parsed.append(VellBuddyTemporary(id, name, presence));
        }
    }
    *entries = parsed;
    return true;
}

QString VellRosterFile::kindName(int type)
{
    return wordOf(kinds, type);
}

QString VellRosterFile::presenceName(int flag)
{
    return wordOf(presences, flag);
}
