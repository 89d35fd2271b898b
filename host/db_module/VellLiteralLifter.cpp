#include "VellLiteralLifter.h"

#include <cstring>

namespace VellDatabase {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// SQLite takes every byte of a multi-byte UTF-8 sequence as an identifier byte.
bool isIdentifierStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}

bool isIdentifierChar(char c)
{
    return isIdentifierStart(c) || isDigit(c) || c == '$';
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

bool isWord(const char *word, int length, const char *keyword)
{
    return int(std::strlen(keyword)) == length && qstrnicmp(word, keyword, uint(length)) == 0;
}

bool isLiftableStatement(const char *word, int length)
{
    for (const char *keyword :
        {"SELECT", "INSERT", "UPDATE", "DELETE", "REPLACE", "WITH", "VALUES"}) {
        if (isWord(word, length, keyword)) {
            return true;
        }
    }
    return false;
}

// Keywords that end an ORDER BY / GROUP BY list, after which numbers are values again.
bool endsPositionList(const char *word, int length)
{
    for (const char *keyword : {"LIMIT", "OFFSET", "HAVING", "WINDOW", "UNION", "INTERSECT",
             "EXCEPT", "SELECT", "FROM", "WHERE", "VALUES", "SET", "ON", "RETURNING"}) {
        if (isWord(word, length, keyword)) {
            return true;
        }
    }
    return false;
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
    if (!isLiftableStatement(s + firstWord, i - firstWord)) {
        return false;
    }

    statement->clear();
    statement->reserve(n);
    statement->append(s, i);
    literals->clear();

    int depth = 0;
    int positionListDepth = -1; // bracket depth of an open ORDER BY / GROUP BY list
    while (i < n) {
        const char c = s[i];
        if ((c == '-' && i + 1 < n && s[i + 1] == '-')
            || (c == '/' && i + 1 < n && s[i + 1] == '*')) {
            const int end = skipBlank(sql, i);
            statement->append(s + i, end - i);
            i = end;
        } else if (c == '\'') {
            const int close = closingQuote(sql, i, '\'', true);
            if (close < 0) {
                return false; // let the database report the unclosed literal
            }
            const bool blob = i > 0 && (s[i - 1] == 'x' || s[i - 1] == 'X')
                && (i < 2 || !isIdentifierChar(s[i - 2]));
            if (blob) {
                statement->append(s + i, close + 1 - i);
            } else {
                Literal literal;
                literal.kind = Literal::Text;
                literal.text = sql.mid(i + 1, close - i - 1).replace("''", "'");
                literals->append(literal);
                statement->append('?');
            }
            i = close + 1;
        } else if (c == '"' || c == '`' || c == '[') {
            const int close = closingQuote(sql, i, c == '[' ? ']' : c, c != '[');
            if (close < 0) {
                return false;
            }
            statement->append(s + i, close + 1 - i);
            i = close + 1;
        } else if (isIdentifierStart(c)) {
            int end = i;
            while (end < n && isIdentifierChar(s[end])) {
                ++end;
            }
            if (isWord(s + i, end - i, "BY")) {
                positionListDepth = depth;
            } else if (endsPositionList(s + i, end - i)) {
                positionListDepth = -1;
            }
            statement->append(s + i, end - i);
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
            bool fits = false;
            const qint64 value = decimal ? sql.mid(i, end - i).toLongLong(&fits, 10) : 0;
            if (fits && positionListDepth < 0) {
                Literal literal;
                literal.kind = Literal::Integer;
                literal.integer = value;
                literals->append(literal);
                statement->append('?');
            } else {
                statement->append(s + i, end - i);
            }
            i = end;
        } else if (c == '?' || c == ':' || c == '@' || c == '$') {
            return false; // the text has parameters of its own
        } else if (c == ';') {
            if (skipBlank(sql, i + 1) < n) {
                return false; // several statements
            }
            statement->append(s + i, n - i);
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
            statement->append(c);
            ++i;
        }
    }
    return true;
}

} // namespace VellDatabase
