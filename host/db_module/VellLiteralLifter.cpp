#include "VellLiteralLifter.h"

#include <array>
#include <cstring>
#include <limits>

#include <QtGlobal>

namespace VellDatabase {

namespace {

enum CharClass : unsigned char {
    Blank = 1,
    Digit = 2,
    IdentifierStart = 4,
    IdentifierChar = 8,
};

constexpr std::array<unsigned char, 256> makeCharClasses()
{
    std::array<unsigned char, 256> classes {};
    for (int c = 0; c < 256; ++c) {
        unsigned char bits = 0;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            bits |= Blank;
        }
        if (c >= '0' && c <= '9') {
            bits |= Digit | IdentifierChar;
        }
        // SQLite takes every byte of a multi-byte UTF-8 sequence as an identifier byte.
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80) {
            bits |= IdentifierStart | IdentifierChar;
        }
        if (c == '$') {
            bits |= IdentifierChar;
        }
        classes[size_t(c)] = bits;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> CharClasses = makeCharClasses();

bool is(char c, CharClass charClass)
{
    return CharClasses[static_cast<unsigned char>(c)] & charClass;
}

bool isSpace(char c)
{
    return is(c, Blank);
}

bool isDigit(char c)
{
    return is(c, Digit);
}

bool isIdentifierStart(char c)
{
    return is(c, IdentifierStart);
}

bool isIdentifierChar(char c)
{
    return is(c, IdentifierChar);
}

// Index of the first byte at or after @p i that is neither blank nor comment.
int skipBlank(const QByteArray &sql, int i)
{
    const int n = sql.size();
    for (;;) {
        while (i < n && isSpace(sql.at(i))) {
            ++i;
        }
        if (i + 1 < n && sql.at(i) == '-' && sql.at(i + 1) == '-') {
            const int end = sql.indexOf('\n', i);
            if (end < 0) {
                return n;
            }
            i = end + 1;
        } else if (i + 1 < n && sql.at(i) == '/' && sql.at(i + 1) == '*') {
            const int end = sql.indexOf("*/", i + 2);
            if (end < 0) {
                return n;
            }
            i = end + 2;
        } else {
            return i;
        }
    }
}

struct Keyword
{
    const char *text;
    int length;
};

template<size_t N>
bool isOneOf(const char *word, int length, const Keyword (&keywords)[N])
{
    for (const Keyword &keyword : keywords) {
        if (keyword.length == length && qstrnicmp(word, keyword.text, uint(length)) == 0) {
            return true;
        }
    }
    return false;
}

const Keyword LiftableStatements[] = {{"SELECT", 6}, {"INSERT", 6}, {"UPDATE", 6}, {"DELETE", 6},
    {"REPLACE", 7}, {"WITH", 4}, {"VALUES", 6}};

const Keyword PositionListStart[] = {{"BY", 2}};

// Keywords that end an ORDER BY / GROUP BY list, after which numbers are values again.
const Keyword PositionListEnd[] = {{"LIMIT", 5}, {"OFFSET", 6}, {"HAVING", 6}, {"WINDOW", 6},
    {"UNION", 5}, {"INTERSECT", 9}, {"EXCEPT", 6}, {"SELECT", 6}, {"FROM", 4}, {"WHERE", 5},
    {"VALUES", 6}, {"SET", 3}, {"ON", 2}, {"RETURNING", 9}};

// The value of @p length decimal digits; false when it does not fit in 64 bits.
bool parseDecimal(const char *digits, int length, qint64 *value)
{
    constexpr qint64 Largest = std::numeric_limits<qint64>::max();
    qint64 result = 0;
    for (int i = 0; i < length; ++i) {
        const int digit = digits[i] - '0';
        if (result > (Largest - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    *value = result;
    return true;
}

// Index of the closing @p quote of a quoted token opening at @p open (doubled
// quotes stand for one), or -1 when it is not closed.
int closingQuote(const QByteArray &sql, int open, char quote, bool doubling)
{
    int j = open + 1;
    for (;;) {
        j = sql.indexOf(quote, j);
        if (j < 0) {
            return -1;
        }
        if (doubling && j + 1 < sql.size() && sql.at(j + 1) == quote) {
            j += 2;
            continue;
        }
        return j;
    }
}

} // namespace

bool VellLiteralLifter::lift(
    const QByteArray &sql, QByteArray *statement, QVector<Literal> *literals)
{
    const int n = sql.size();
    const char *s = sql.constData();

    int i = skipBlank(sql, 0);
    const int firstWord = i;
    while (i < n && isIdentifierChar(s[i])) {
        ++i;
    }
    if (!isOneOf(s + firstWord, i - firstWord, LiftableStatements)) {
        return false;
    }

    statement->resize(0);
    statement->reserve(n);
    literals->resize(0);

    // The text is copied in runs: sql[0, copied) is written already.
    int copied = 0;
    const auto writeParameter = [&](int literalStart, int literalEnd) {
        statement->append(s + copied, literalStart - copied);
        statement->append('?');
        copied = literalEnd;
    };

    int depth = 0;
    // Bracket depth of the outermost open ORDER BY / GROUP BY list, -1 when
    // none is open. A list ends only at its own depth: keywords and lists of a
    // sub-query inside it, as in "ORDER BY (SELECT ...), 2", leave it open.
    int positionListDepth = -1;
    while (i < n) {
        const char c = s[i];
        if ((c == '-' && i + 1 < n && s[i + 1] == '-')
            || (c == '/' && i + 1 < n && s[i + 1] == '*')) {
            i = skipBlank(sql, i);
        } else if (c == '\'') {
            const int close = closingQuote(sql, i, '\'', true);
            if (close < 0) {
                return false; // let the database report the unclosed literal
            }
            const bool blob = i > 0 && (s[i - 1] == 'x' || s[i - 1] == 'X')
                && (i < 2 || !isIdentifierChar(s[i - 2]));
            if (!blob) {
                Literal literal;
                literal.kind = Literal::Text;
                literal.text = s + i + 1;
                literal.textSize = close - i - 1;
                if (std::memchr(literal.text, '\'', size_t(literal.textSize))) {
                    literal.unescaped
                        = QByteArray(literal.text, literal.textSize).replace("''", "'");
                    literal.text = literal.unescaped.constData();
                    literal.textSize = literal.unescaped.size();
                }
                literals->append(literal);
                writeParameter(i, close + 1);
            }
            i = close + 1;
        } else if (c == '"' || c == '`' || c == '[') {
            const int close = closingQuote(sql, i, c == '[' ? ']' : c, c != '[');
            if (close < 0) {
                return false;
            }
            i = close + 1;
        } else if (isIdentifierStart(c)) {
            int end = i;
            while (end < n && isIdentifierChar(s[end])) {
                ++end;
            }
            if (isOneOf(s + i, end - i, PositionListStart)) {
                if (positionListDepth < 0) {
                    positionListDepth = depth;
                }
            } else if (positionListDepth == depth && isOneOf(s + i, end - i, PositionListEnd)) {
                positionListDepth = -1;
            }
            i = end;
        } else if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(s[i + 1]))) {
            // Any numeric token is copied as written unless it is a plain decimal integer.
            int end = i;
            bool decimal = true;
            while (end < n
                && (isIdentifierChar(s[end]) || s[end] == '.'
                    || ((s[end] == '+' || s[end] == '-')
                        && (s[end - 1] == 'e' || s[end - 1] == 'E')))) {
                decimal = decimal && isDigit(s[end]);
                ++end;
            }
            qint64 value = 0;
            if (decimal && positionListDepth < 0 && parseDecimal(s + i, end - i, &value)) {
                Literal literal;
                literal.kind = Literal::Integer;
                literal.integer = value;
                literals->append(literal);
                writeParameter(i, end);
            }
            i = end;
        } else if (c == '?' || c == ':' || c == '@' || c == '$') {
            return false; // the text has parameters of its own
        } else if (c == ';') {
            if (skipBlank(sql, i + 1) < n) {
                return false; // several statements
            }
            i = n;
        } else {
            if (c == '(') {
                ++depth;
            } else if (c == ')') {
                --depth;
                if (positionListDepth > depth) {
                    positionListDepth = -1;
                }
            }
            ++i;
        }
    }
    statement->append(s + copied, n - copied);
    return true;
}

} // namespace VellDatabase
