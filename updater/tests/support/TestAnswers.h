#ifndef TESTANSWERS_H
#define TESTANSWERS_H

// Answers of the update server for the parser's tests, the engine's tests,
// its benchmark and the fuzzer's seeds: well-formed large ones and hostile
// ones.

#include <QByteArray>

namespace TestAnswers {

/** One request element offering component c<index> with a change log. */
QByteArray request(int index, const QByteArray &changelog = QByteArray("fixed"));
/** "<response>" + requests 0 .. count-1, each with the change log, + "</response>". */
QByteArray response(int count, const QByteArray &changelog = QByteArray("fixed"));
/** Requests of about 4 KiB each, as many as fit into size bytes. */
QByteArray largeResponse(int size);
/**
 * A size-byte answer whose one request sits behind a section of filler:
 * open + "x" * n + close, for example "<!--" and "-->".
 */
QByteArray responseBehindSection(int size, const QByteArray &open, const QByteArray &close);

/** depth elements nested in one another. */
QByteArray nestedElements(int depth);
/** Ten levels of internal entities, each ten references to the one below. */
QByteArray entityExpansion();
/** An external entity that names a local file. */
QByteArray externalEntity();
/** count empty request elements. */
QByteArray manyRequests(int count);
/** One element with count attributes. */
QByteArray manyAttributes(int count);

} // namespace TestAnswers

#endif // TESTANSWERS_H
