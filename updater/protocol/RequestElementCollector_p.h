#ifndef REQUESTELEMENTCOLLECTOR_P_H
#define REQUESTELEMENTCOLLECTOR_P_H

#include "Update.h"

#include <QString>

#include <memory>
#include <vector>

class QStringRef;
class QXmlStreamAttributes;

/**
 * Builds Update records from the elements of the server's answer as a
 * streaming reader reports them, without keeping the document.
 *
 * Every element named "request", wherever it stands, yields one update in the
 * order of its start tag, unless it has a direct child named "latest",
 * "noSuchUpdate" or "noSuchComponent". Project, name and type come from its
 * attributes, the other fields from the whole text of its first direct child
 * element of that name. Like a document tree, text made only of blanks
 * between two pieces of markup is no text.
 *
 * Memory stays within bounds: at most maxRequests request elements, and at
 * most maxTextCharacters characters kept for all records together (nested
 * requests would otherwise keep the same text once per level).
 */
class RequestElementCollector
{
public:
    RequestElementCollector(int maxRequests, qint64 maxTextCharacters);
    ~RequestElementCollector();
    RequestElementCollector(const RequestElementCollector &) = delete;
    RequestElementCollector &operator=(const RequestElementCollector &) = delete;

    /** The number of elements open now. */
    int depth() const { return openElements; }

    /** Each returns false, with the reason in errorText, when a bound is broken. */
    bool startElement(
        const QStringRef &name, const QXmlStreamAttributes &attributes, QString &errorText);
    void endElement();
    /** Text, CDATA sections included, as the reader splits it. */
    bool characters(const QStringRef &text, bool isCData, QString &errorText);
    /** A processing instruction: as a node, it is named after its target. */
    void processingInstruction(const QStringRef &target);
    /** Any other piece of markup: it ends the text before it. */
    void otherMarkup();

    /** The updates of the request elements closed so far, in document order. */
    std::vector<Update> takeUpdates();

private:
    struct OpenRequest;

    void childStarted(OpenRequest &request, const QStringRef &name);
    bool keepText(const QString &text, QString &errorText);
    bool countKept(qint64 characters, QString &errorText);
    void endTextRun();

    const int maxRequests;
    const qint64 maxTextCharacters;
    int openElements = 0;
    int requestCount = 0;
    qint64 keptCharacters = 0;
    std::vector<std::unique_ptr<OpenRequest>> openRequests; // innermost last
    // One per request element in document order; null while it is open or
    // when it yields nothing.
    std::vector<std::unique_ptr<Update>> records;

    // A run of text that has so far been only blanks is held here, and
    // dropped when markup follows before any other character.
    QString pendingBlanks;
    bool runHasText = false;
};

#endif // REQUESTELEMENTCOLLECTOR_P_H
