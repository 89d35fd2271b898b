#ifndef VELLARCHIVESEARCHQUERY_H
#define VELLARCHIVESEARCHQUERY_H

#include "VellArchiveBackendConversation.h"
#include "VellArchiveBackendSearchCriteria.h"
#include "msgvault_export.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace VellArchive {

namespace Statements {
struct SearchTexts;
struct WordTexts;
} // namespace Statements

/**
 * Builds the ID query of one kind of search (conversations or SMS) from its
 * criteria: the text of a SELECT whose only column is an ID, meant to stand
 * inside "IN (...)". The kind and its word conditions are given as statement
 * texts, so the same builder makes the conversation and the SMS queries, in
 * the form the module's query builders answer and in the one its searches
 * run (conversations() and textMessages()).
 *
 * Lists of more terms than SQLite takes in one compound SELECT are built as
 * compounds of groups, so any number of recipients, words and phrases works.
 */
class MSGVAULT_EXPORT VellArchiveSearchQuery
{
public:
    /// SQLite's default limit of terms in one compound SELECT.
    static constexpr int MAX_COMPOUND_TERMS = 500;

    /// The conversation ID query that searches and removals run for @p criteria.
    static QString conversations(const VellArchiveBackendSearchCriteria &criteria);
    /// The SMS ID query that searches and removals run for @p criteria.
    static QString textMessages(const VellArchiveBackendSearchCriteria &criteria);

    VellArchiveSearchQuery(const Statements::SearchTexts &kind, const Statements::WordTexts &words);

    /// Every field of @p criteria that the kind knows; empty when a mode is unknown.
    QString matching(const VellArchiveBackendSearchCriteria &criteria) const;
    QString recipientsAny(const QStringList &names) const;
    QString recipientsAll(const QStringList &names) const;
    QString wordsAny(const QStringList &words, bool wholeWords) const;
    QString wordsAll(const QStringList &words, bool wholeWords) const;
    /// Messages holding every one of @p words (conversations only).
    QString messagesWithAllWords(const QStringList &words) const;
    QString phrases(const QStringList &phrases) const;

    /// The condition "any of @p types" (not a query).
    static QString types(const QList<VellArchiveBackendConversation::Type> &types);

private:
    /// Conversations holding every one of @p parts, each part after the
    /// first looked for within the conversations found so far.
    QString wordPartsWithin(QStringList parts) const;
    QString recipients(const QStringList &names, int mode) const;
    QString texts(const QStringList &texts, int mode) const;

    const Statements::SearchTexts &m_kind;
    const Statements::WordTexts &m_words;
};

} // namespace VellArchive

#endif // VELLARCHIVESEARCHQUERY_H
