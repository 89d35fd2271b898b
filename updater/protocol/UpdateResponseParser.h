#ifndef UPDATERESPONSEPARSER_H
#define UPDATERESPONSEPARSER_H

#include "Update.h"

#include <vector>

class QByteArray;
class QDomDocument;
class QString;

/**
 * Turns the update server's response document into Update records.
 *
 * Every element named "request", wherever it stands, in document order, yields
 * one update unless it has a direct child named "latest", "noSuchUpdate" or
 * "noSuchComponent". Project, name and type come from its attributes, the other
 * fields from the text of its first direct child element of that name; texts
 * are stored as UTF-8.
 */
class UpdateResponseParser
{
public:
    /**
     * Parses @p response (namespaces not processed, encoding as the document
     * declares it, UTF-8 by default). Returns false while the bytes are not one
     * complete, well-formed XML document (@p updates untouched, the reason in
     * @p errorText when given); otherwise appends the updates and returns true.
     */
    static bool parse(
        const QByteArray &response, std::vector<Update> &updates, QString *errorText = nullptr);
    /// The updates of an already parsed response document.
    static std::vector<Update> updatesFrom(const QDomDocument &response);
};

#endif // UPDATERESPONSEPARSER_H
