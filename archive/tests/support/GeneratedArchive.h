#ifndef GENERATEDARCHIVE_H
#define GENERATEDARCHIVE_H

#include <QDateTime>
#include <QString>
#include <QStringList>

/**
 * An archive file filled with generated conversations and SMS of a chat-like
 * shape: three accounts on three protocols, contacts in one-to-one and group
 * conversations, messages over a made-up vocabulary with chat frequencies (a
 * few words in many messages, most words rare, some capitalised) and SMS to
 * one or two recipients. The rows are the ones the module writes, stored with
 * plain SQLite in one transaction, so that a large archive takes a second.
 * The same seed gives the same archive.
 */
class GeneratedArchive
{
public:
    /// Fills the new archive @p path; false (with the reason) when it cannot.
    bool fill(const QString &path, int conversations, int smsCount, quint32 seed,
        QString *errorText = nullptr);

    // What was stored, for criteria that find something.
    QStringList vocabulary;
    QStringList accounts; // UIDs, account i on protocols[i]
    QStringList protocols;
    QStringList contacts; // recipient UIDs
    QStringList smsSenders;
    QStringList smsRecipients;
    QDateTime firstTime;
    QDateTime lastTime;
};

#endif // GENERATEDARCHIVE_H
