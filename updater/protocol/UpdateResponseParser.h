#ifndef UPDATERESPONSEPARSER_H
#define UPDATERESPONSEPARSER_H

#include "Update.h"

#include <QString>

#include <memory>
#include <vector>

class QByteArray;

/**
 * Turns the update server's response document into Update records, chunk by
 * chunk as it arrives, in time linear in its size and memory bounded by it.
 *
 * Every element named "request", wherever it stands, in document order, yields
 * one update unless it has a direct child named "latest", "noSuchUpdate" or
 * "noSuchComponent". Project, name and type come from its attributes, the other
 * fields from the text of its first direct child element of that name; texts
 * are stored as UTF-8. Namespaces are not processed; the encoding is the one
 * the document declares, UTF-8 by default.
 *
 * An answer has no use for a document type declaration: one is refused before
 * anything in it is read, so no entity is ever expanded. An answer that breaks
 * one of the Bounds is refused as well. The reader does not recurse.
 */
class UpdateResponseParser
{
public:
    struct Bounds
    {
        qint64 maxBytes = 4 * 1024 * 1024; ///< one byte more and the answer is refused
        int maxDepth = 256; ///< elements open at one time
        int maxRequests = 10000; ///< request elements, marked ones included
        int maxAttributes = 64; ///< attributes of one element
    };

    enum class Status {
        Incomplete, ///< not yet a complete document; more data may complete it
        Complete, ///< the bytes so far form one complete, well-formed document
        Failed, ///< never going to be a document within the bounds
    };

    UpdateResponseParser();
    explicit UpdateResponseParser(const Bounds &bounds);
    ~UpdateResponseParser();
    UpdateResponseParser(const UpdateResponseParser &) = delete;
    UpdateResponseParser &operator=(const UpdateResponseParser &) = delete;

    /**
     * Reads the next bytes of the answer. Once the answer has failed, further
     * bytes change nothing; bytes after a complete answer are kept and judged
     * by finish(), as part of the same document.
     *
     * The verdict never depends on how the answer was cut: an answer that
     * became complete in more than one piece is read once more whole, and
     * that reading decides.
     */
    Status addData(const QByteArray &chunk);
    /**
     * Reads what has been held back for efficiency (an unfinished comment,
     * processing instruction or CDATA section) and judges bytes that came
     * after a complete answer: to be called when no more data is to be
     * expected soon, before the answer is given up or taken.
     */
    Status finish();
    Status status() const;
    /** Why the answer failed or is incomplete; empty once it is complete. */
    QString errorString() const;
    /** The updates of a complete answer, in document order; empty before. */
    std::vector<Update> takeUpdates();

    /**
     * Parses a whole answer at once with the default bounds. Returns false
     * when it is not one complete document within them (@p updates untouched,
     * the reason in @p errorText when given); otherwise appends the updates
     * and returns true.
     */
    static bool parse(
        const QByteArray &response, std::vector<Update> &updates, QString *errorText = nullptr);

private:
    class Private;
    std::unique_ptr<Private> d;
};

#endif // UPDATERESPONSEPARSER_H
