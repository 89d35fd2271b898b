#include "VellLikeCase.h"

#include <QtGlobal>

#include <cstring>

namespace VellDatabase {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || static_cast<unsigned char>(c) >= 0x80;
}

// Reads a statement text token by token, skipping the blanks between tokens.
class Tokens
{
public:
    explicit Tokens(const QByteArray &sql)
        : m_sql(sql)
    { }

    // The next word (letters, digits, '_'), empty when there is none.
    QByteArray word()
    {
        skipBlanks();
        const int start = m_i;
        while (m_i < m_sql.size() && isWordChar(m_sql.at(m_i))) {
            ++m_i;
        }
        return m_sql.mid(start, m_i - start);
    }

    bool take(char c)
    {
        skipBlanks();
        if (m_i < m_sql.size() && m_sql.at(m_i) == c) {
            ++m_i;
            return true;
        }
        return false;
    }

    // A word or a number.
    bool value(QByteArray *text)
    {
        *text = word();
        return !text->isEmpty();
    }

    bool atEnd()
    {
        skipBlanks();
        return m_i == m_sql.size();
    }

private:
    void skipBlanks()
    {
        while (m_i < m_sql.size() && isBlank(m_sql.at(m_i))) {
            ++m_i;
        }
    }

    const QByteArray &m_sql;
    int m_i = 0;
};

bool equalsIgnoringCase(const QByteArray &word, const char *keyword)
{
    return word.size() == int(std::strlen(keyword))
        && qstrnicmp(word.constData(), keyword, uint(word.size())) == 0;
}

// The plain spellings of a boolean pragma value; SQLite's reading of any
// other (large numbers, other words) is left to SQLite itself.
bool booleanValue(const QByteArray &value, bool *on)
{
    for (const char *word : {"1", "on", "yes", "true"}) {
        if (equalsIgnoringCase(value, word)) {
            *on = true;
            return true;
        }
    }
    for (const char *word : {"0", "off", "no", "false"}) {
        if (equalsIgnoringCase(value, word)) {
            *on = false;
            return true;
        }
    }
    return false;
}

// True when @p keyword, which holds no letter in upper case, is found at @p i of @p sql.
bool keywordAt(const QByteArray &sql, int i, const char *keyword, int length)
{
    return i + length <= sql.size() && qstrnicmp(sql.constData() + i, keyword, uint(length)) == 0;
}

// Every statement passes here: most are told apart by their first bytes.
bool startsWithPragma(const QByteArray &sql)
{
    int first = 0;
    while (first < sql.size() && isBlank(sql.at(first))) {
        ++first;
    }
    return keywordAt(sql, first, "pragma", 6);
}

} // namespace

bool VellLikeCase::parse(const QByteArray &sql, bool *caseSensitive)
{
    if (!startsWithPragma(sql)) {
        return false;
    }
    Tokens tokens(sql);
    if (!equalsIgnoringCase(tokens.word(), "PRAGMA")) {
        return false;
    }
    QByteArray name = tokens.word();
    if (tokens.take('.')) {
        name = tokens.word();
    }
    if (!equalsIgnoringCase(name, "case_sensitive_like")) {
        return false;
    }
    QByteArray value;
    if (tokens.take('=')) {
        if (!tokens.value(&value)) {
            return false;
        }
    } else if (!tokens.take('(') || !tokens.value(&value) || !tokens.take(')')) {
        return false;
    }
    tokens.take(';');
    return tokens.atEnd() && booleanValue(value, caseSensitive);
}

} // namespace VellDatabase
