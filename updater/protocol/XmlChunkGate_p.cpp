#include "XmlChunkGate_p.h"

namespace {

constexpr int DetectionBytes = 4;

int byteAt(const QByteArray &bytes, int index)
{
    return index < bytes.size() ? static_cast<unsigned char>(bytes.at(index)) : -1;
}

} // namespace

XmlChunkGate::XmlChunkGate(int maxAttributes)
    : maxAttributes(maxAttributes)
{ }

// The first four bytes tell the width of a code unit, as a byte order mark
// or as "<" or "<?" written in that encoding.
void XmlChunkGate::detectUnitWidth()
{
    const int b0 = byteAt(held, 0);
    const int b1 = byteAt(held, 1);
    const int b2 = byteAt(held, 2);
    const int b3 = byteAt(held, 3);
    unitWidth = 1;
    bigEndian = false;
    if ((b0 == 0 && b1 == 0 && b2 == 0xFE && b3 == 0xFF) || (b0 == 0 && b1 == 0 && b2 == 0)) {
        unitWidth = 4;
        bigEndian = true;
    } else if ((b0 == 0xFF && b1 == 0xFE && b2 == 0 && b3 == 0)
        || (b0 != 0 && b1 == 0 && b2 == 0 && b3 == 0)) {
        unitWidth = 4;
    } else if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0 && b1 > 0)) {
        unitWidth = 2;
        bigEndian = true;
    } else if ((b0 == 0xFF && b1 == 0xFE) || (b0 > 0 && b1 == 0)) {
        unitWidth = 2;
    }
}

bool XmlChunkGate::pass(const QByteArray &chunk, QByteArray &ready, QString &errorText)
{
    int scanFrom = held.size();
    held.append(chunk);
    if (unitWidth == 0) {
        if (held.size() < DetectionBytes) {
            return true;
        }
        detectUnitWidth();
        scanFrom = 0;
    }
    // held begins at the start of the section still held back, if any.
    int holdStart = 0;
    for (int i = scanFrom; i < held.size(); ++i) {
        partialUnit[partialBytes++] = static_cast<unsigned char>(held.at(i));
        if (partialBytes < unitWidth) {
            continue;
        }
        char32_t unit = 0;
        for (int k = 0; k < unitWidth; ++k) {
            unit = (unit << 8) | partialUnit[bigEndian ? k : unitWidth - 1 - k];
        }
        partialBytes = 0;
        const bool wasHolding = isHolding();
        if (!step(unit, errorText)) {
            return false;
        }
        if (!wasHolding && isHolding()) {
            holdStart = i + 1;
        }
    }
    const int releasable = isHolding() ? holdStart : held.size();
    ready.append(held.constData(), releasable);
    held.remove(0, releasable);
    return true;
}

QByteArray XmlChunkGate::release()
{
    if (unitWidth == 0) {
        // Fewer than four bytes ever came; what follows is read as bytes.
        unitWidth = 1;
    }
    QByteArray all;
    all.swap(held);
    return all;
}

bool XmlChunkGate::isHolding() const
{
    return state == State::Comment || state == State::ProcessingInstruction
        || state == State::CData;
}

void XmlChunkGate::holdUntil(State section, char32_t mark, int markCount)
{
    state = section;
    closingMark = mark;
    closingMarkCount = markCount;
    closingMarksSeen = 0;
}

bool XmlChunkGate::step(char32_t unit, QString &errorText)
{
    switch (state) {
    case State::Content:
        if (unit == U'<') {
            state = State::MarkupOpen;
        }
        return true;
    case State::MarkupOpen:
        if (unit == U'!') {
            state = State::Bang;
            return true;
        }
        if (unit == U'?') {
            holdUntil(State::ProcessingInstruction, U'?', 1);
            return true;
        }
        // A start or end tag: its first unit is part of its name.
        state = State::Tag;
        attributes = 0;
        return true;
    case State::Bang:
        if (unit == U'-') {
            state = State::BangDash;
        } else if (unit == U'[') {
            holdUntil(State::CData, U']', 2);
        } else {
            // "<!DOCTYPE" and the declarations it may hold: entities, above all.
            errorText = QStringLiteral("the answer holds a document type or other declaration");
            return false;
        }
        return true;
    case State::BangDash:
        if (unit == U'-') {
            holdUntil(State::Comment, U'-', 2);
        } else {
            state = State::Content; // not well-formed: the reader says so
        }
        return true;
    case State::Tag:
        if (unit == U'>') {
            state = State::Content;
        } else if (unit == U'\'') {
            state = State::TagSingleQuoted;
        } else if (unit == U'"') {
            state = State::TagDoubleQuoted;
        } else if (unit == U'=' && ++attributes > maxAttributes) {
            errorText = QStringLiteral("an element has more than %1 attributes").arg(maxAttributes);
            return false;
        }
        return true;
    case State::TagSingleQuoted:
        if (unit == U'\'') {
            state = State::Tag;
        }
        return true;
    case State::TagDoubleQuoted:
        if (unit == U'"') {
            state = State::Tag;
        }
        return true;
    case State::Comment:
    case State::ProcessingInstruction:
    case State::CData:
        if (unit == U'>' && closingMarksSeen == closingMarkCount) {
            state = State::Content;
        } else if (unit == closingMark) {
            closingMarksSeen = qMin(closingMarksSeen + 1, closingMarkCount);
        } else {
            closingMarksSeen = 0;
        }
        return true;
    }
    return true;
}
