#include "VellArchiveSearchQuery.h"

#include "VellArchiveModule.h"
#include "VellArchiveStatements_p.h"

#include <QLatin1String>

#include <algorithm>

namespace VellArchive {

namespace Sql = Statements;

namespace {

QString masked(const QString &value)
{
    return VellArchiveModule::maskApostrophe(value);
}

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::DateFormat(VellArchiveModule::ARCHIVE_TIME_FORMAT));
}

// The pieces that @p piece makes of each item, with @p joiner between them.
template<typename Item, typename Piece>
QString joined(const QList<Item> &items, QLatin1String joiner, Piece piece)
{
    QString text;
    for (int i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += joiner;
        }
        text += piece(items.at(i));
    }
    return text;
}

// @p terms joined by a compound operator. SQLite refuses a compound of more
// terms than its limit (and a search then finds nothing), so a longer list
// becomes a compound of groups, each group one term; UNION and INTERSECT
// give the same rows however their terms are grouped.
QString compound(QStringList terms, QLatin1String joiner)
{
    const int limit = VellArchiveSearchQuery::MAX_COMPOUND_TERMS;
    while (terms.size() > limit) {
        QStringList groups;
        for (int first = 0; first < terms.size(); first += limit) {
            groups.append(Sql::CompoundGroup.arg(terms.mid(first, limit).join(joiner)));
        }
        terms = groups;
    }
    return terms.join(joiner);
}

// One template per value of @p values, masked.
QStringList eachMasked(const QStringList &values, const char *statement)
{
    QStringList pieces;
    pieces.reserve(values.size());
    for (const QString &value : values) {
        pieces.append(QLatin1String(statement).arg(masked(value)));
    }
    return pieces;
}

// Appends @p condition filled with @p value when the kind has such a condition.
void addCondition(QString &sql, const char *condition, const QString &value)
{
    if (condition) {
        sql += QLatin1String(condition).arg(value);
    }
}

} // namespace

QString VellArchiveSearchQuery::conversations(const VellArchiveBackendSearchCriteria &criteria)
{
    return VellArchiveSearchQuery(Sql::ChatSearch, Sql::ChatWordsFirst).matching(criteria);
}

QString VellArchiveSearchQuery::textMessages(const VellArchiveBackendSearchCriteria &criteria)
{
    return VellArchiveSearchQuery(Sql::SmsSearch, Sql::SmsWordsFirst).matching(criteria);
}

VellArchiveSearchQuery::VellArchiveSearchQuery(
    const Statements::SearchTexts &kind, const Statements::WordTexts &words)
    : m_kind(kind)
    , m_words(words)
{ }

QString VellArchiveSearchQuery::types(const QList<VellArchiveBackendConversation::Type> &types)
{
    return joined(types, Sql::Or, [](VellArchiveBackendConversation::Type type) {
        return Sql::ChatType.arg(QString::number(int(type)));
    });
}

QString VellArchiveSearchQuery::recipientsAny(const QStringList &names) const
{
    return QLatin1String(m_kind.recipientsAny)
        .arg(eachMasked(names, Sql::ListItem.data()).join(Sql::ListComma));
}

QString VellArchiveSearchQuery::recipientsAll(const QStringList &names) const
{
    return compound(eachMasked(names, m_kind.recipientAll), Sql::Intersect);
}

QString VellArchiveSearchQuery::wordsAny(const QStringList &words, bool wholeWords) const
{
    return compound(
        eachMasked(words, wholeWords ? m_words.wordAny : m_words.wordPartAny), Sql::Union);
}

QString VellArchiveSearchQuery::wordsAll(const QStringList &words, bool wholeWords) const
{
    if (!wholeWords && m_words.wordPartWithin && words.size() > 1) {
        return wordPartsWithin(words);
    }
    return compound(
        eachMasked(words, wholeWords ? m_words.wordAll : m_words.wordPartAll), Sql::Intersect);
}

QString VellArchiveSearchQuery::wordPartsWithin(QStringList parts) const
{
    // Only the first part of a chain is looked for in the whole archive, so
    // the longest parts lead: a longer part is mostly held by fewer
    // conversations. Which conversations hold them all does not depend on
    // the order. Chains of a few parts keep the nesting far within SQLite's
    // parser depth; a longer list intersects its chains.
    constexpr int PartsPerChain = 8;
    std::stable_sort(parts.begin(), parts.end(),
        [](const QString &a, const QString &b) { return a.size() > b.size(); });
    QStringList chains;
    for (int first = 0; first < parts.size(); first += PartsPerChain) {
        QString chain = QLatin1String(m_words.wordPartAll).arg(masked(parts.at(first)));
        const int end = std::min(first + PartsPerChain, int(parts.size()));
        for (int i = first + 1; i < end; ++i) {
            chain = QLatin1String(m_words.wordPartWithin).arg(chain, masked(parts.at(i)));
        }
        chains.append(chain);
    }
    return compound(chains, Sql::Intersect);
}

QString VellArchiveSearchQuery::messagesWithAllWords(const QStringList &words) const
{
    return compound(eachMasked(words, m_words.messagesWithWord), Sql::Intersect);
}

QString VellArchiveSearchQuery::phrases(const QStringList &phrases) const
{
    if (!m_words.messagesWithWord) {
        return compound(eachMasked(phrases, m_kind.phrase), Sql::Intersect);
    }
    // The word index narrows the messages to those holding every indexed word
    // of the phrase; only those are matched against the phrase itself. A
    // phrase without index words gives "IN ()", which matches nothing.
    QStringList pieces;
    pieces.reserve(phrases.size());
    for (const QString &phrase : phrases) {
        pieces.append(QLatin1String(m_kind.phrase)
                          .arg(messagesWithAllWords(VellArchiveModule::splitMessage(phrase)),
                              masked(phrase)));
    }
    return compound(pieces, Sql::Intersect);
}

QString VellArchiveSearchQuery::recipients(const QStringList &names, int mode) const
{
    switch (mode) {
    case 0:
        return recipientsAny(names);
    case 1:
        return recipientsAll(names);
    default:
        return QString();
    }
}

QString VellArchiveSearchQuery::texts(const QStringList &texts, int mode) const
{
    switch (mode) {
    case 0:
        return wordsAny(texts, true);
    case 1:
        return wordsAll(texts, true);
    case 2:
        return phrases(texts);
    case 3:
        return wordsAny(texts, false);
    case 4:
        return wordsAll(texts, false);
    default:
        return QString();
    }
}

QString VellArchiveSearchQuery::matching(const VellArchiveBackendSearchCriteria &criteria) const
{
    const bool byAccount = !criteria.protocol.isEmpty() || !criteria.ownerUid.isEmpty();
    QString sql = QLatin1String(byAccount ? m_kind.allOfAccounts : m_kind.all);
    const auto addOwner = [&] {
        if (!criteria.ownerUid.isEmpty()) {
            const bool joinedByProtocol = m_kind.protocol && !criteria.protocol.isEmpty();
            addCondition(sql, joinedByProtocol ? m_kind.ownerJoined : m_kind.owner,
                masked(criteria.ownerUid));
        }
    };
    if (m_kind.ownerLeads) {
        addOwner();
    }
    if (criteria.timeFrom.isValid()) {
        addCondition(sql, m_kind.from, timeText(criteria.timeFrom));
    }
    if (criteria.timeTo.isValid()) {
        addCondition(sql, m_kind.to, timeText(criteria.timeTo));
    }
    if (!criteria.types.isEmpty()) {
        addCondition(sql, m_kind.types, types(criteria.types));
    }
    if (!criteria.protocol.isEmpty()) {
        addCondition(sql, m_kind.protocol, masked(criteria.protocol));
    }
    if (!m_kind.ownerLeads) {
        addOwner();
    }
    if (!criteria.recipients.isEmpty()) {
        const QString selection = recipients(criteria.recipients, criteria.recipientsMode);
        if (selection.isEmpty()) {
            return QString();
        }
        addCondition(sql, m_kind.idIn, selection);
    }
    if (!criteria.texts.isEmpty()) {
        const QString selection = texts(criteria.texts, criteria.textMode);
        if (selection.isEmpty()) {
            return QString();
        }
        addCondition(sql, m_kind.idIn, selection);
    }
    return sql;
}

} // namespace VellArchive
