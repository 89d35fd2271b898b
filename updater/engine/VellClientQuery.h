#ifndef VELLCLIENTQUERY_H
#define VELLCLIENTQUERY_H

#include <QByteArray>
#include <QString>

/**
 * The update query of the client program: the program is started with
 * "-updatequery", its standard output and standard error are read together
 * until it ends (without a time limit), and the query is the text from the
 * first "<s>" to the last "</s>", both included, up to a NUL byte, turned
 * from the client's 8-bit text into UTF-8.
 *
 * A client that cannot be started, is ended by a signal, ends with a status
 * other than 0 or prints no query gives no query, and the reason names the
 * program and what went wrong, so that nothing is sent to the update server.
 */
class VellClientQuery
{
public:
    VellClientQuery() = delete;

    /** The query @p program prints; empty, with @p errorText set, on failure. */
    static QByteArray read(const QString &program, QString *errorText = nullptr);
    /** The query within a client's @p output; empty when there is none. */
    static QByteArray extract(const QByteArray &output);
};

#endif // VELLCLIENTQUERY_H
