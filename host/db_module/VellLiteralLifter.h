#ifndef VELLLITERALLIFTER_H
#define VELLLITERALLIFTER_H

#include <QByteArray>
#include <QVector>

namespace VellDatabase {

/**
 * Turns the literals of one data statement into parameters, so that statements
 * that differ only in their values share one compiled statement: the client
 * writes every value into its SQL text, and compiling each text anew costs
 * about a third of the time of a small insert.
 *
 * Only what is certain to mean the same as a bound value is lifted: string
 * literals and decimal integers that fit in 64 bits, in SELECT, INSERT,
 * UPDATE, DELETE, REPLACE, WITH and VALUES statements. Numbers in ORDER BY and
 * GROUP BY clauses (column positions there), blob literals and everything
 * else stay in the text. Texts with several statements or with parameters of
 * their own are left alone.
 */
class VellLiteralLifter
{
public:
    struct Literal
    {
        enum Kind { Integer, Text };
        Kind kind = Integer;
        qint64 integer = 0;
        /// The UTF-8 value of a text literal: a part of the statement text when
        /// it holds no doubled apostrophe, else @c unescaped.
        const char *text = nullptr;
        int textSize = 0;
        QByteArray unescaped;
    };

    /**
     * Writes @p sql with every lifted literal replaced by "?" into @p statement
     * and the literals, in order, into @p literals. Returns false, leaving both
     * unspecified, when the text is not a single data statement it can handle.
     * Text literals may point into @p sql: keep it unchanged while they are used.
     * Both outputs keep their memory from one call to the next.
     */
    static bool lift(const QByteArray &sql, QByteArray *statement, QVector<Literal> *literals);
};

} // namespace VellDatabase

#endif // VELLLITERALLIFTER_H
