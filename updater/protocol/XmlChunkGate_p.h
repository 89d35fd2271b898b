#ifndef XMLCHUNKGATE_P_H
#define XMLCHUNKGATE_P_H

#include <QByteArray>
#include <QString>

/**
 * Stands between the bytes of a document as they arrive and QXmlStreamReader.
 *
 * The reader scans an unfinished comment, processing instruction or CDATA
 * section again from its start every time data is added, and checks each
 * attribute of a start tag against all earlier ones: a long section sent in
 * small chunks, or one tag with many thousands of attributes, costs quadratic
 * time. The gate therefore holds such a section back until its end has
 * arrived, refuses a tag with too many attributes, and refuses every markup
 * declaration (a document type above all) before the reader sees it.
 *
 * It recognises markup by its ASCII characters, one code unit at a time: bytes
 * for UTF-8 and the other ASCII-compatible encodings, 16- or 32-bit units for
 * documents that start in UTF-16 or UTF-32 (told by their first four bytes).
 * Holding back never changes what the reader sees, only when it sees it.
 */
class XmlChunkGate
{
public:
    explicit XmlChunkGate(int maxAttributes);

    /**
     * Takes the next bytes of the document. Appends to @p ready the bytes that
     * may go to the reader now and returns true; returns false with the reason
     * in @p errorText when the document is refused.
     */
    bool pass(const QByteArray &chunk, QByteArray &ready, QString &errorText);
    /** Everything held back so far, for when no more data is to be expected soon. */
    QByteArray release();

private:
    enum class State {
        Content,
        MarkupOpen, // after "<"
        Bang, // after "<!"
        BangDash, // after "<!-"
        Tag, // inside a start or end tag
        TagSingleQuoted,
        TagDoubleQuoted,
        Comment,
        ProcessingInstruction,
        CData,
    };

    void detectUnitWidth();
    bool step(char32_t unit, QString &errorText);
    void holdUntil(State section, char32_t closingMark, int closingMarkCount);
    bool isHolding() const;

    const int maxAttributes;
    State state = State::Content;
    int attributes = 0;
    // The held section ends at closingMarkCount closing marks followed by ">".
    char32_t closingMark = 0;
    int closingMarkCount = 0;
    int closingMarksSeen = 0;

    int unitWidth = 0; // 0 until the first four bytes have been seen
    bool bigEndian = false;
    unsigned char partialUnit[4] = {}; // the bytes of an incomplete code unit
    int partialBytes = 0;
    QByteArray held; // scanned, not yet handed to the reader
};

#endif // XMLCHUNKGATE_P_H
