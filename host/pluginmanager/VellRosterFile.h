#ifndef VELLROSTERFILE_H
#define VELLROSTERFILE_H

#include "VellBuddy.h"

#include <QList>
#include <QString>

/// Reads the roster files that `vell-plugins filter` takes: UTF-8 text, one entry
/// a line, blank lines and lines starting with '#' skipped:
///
///     KIND  ID  PRESENCE  [NAME ...]
///
/// KIND is account, group, contact, conference, temporary or the number of any
/// other entry type. PRESENCE is unknown, online, chat, away, na, dnd, offline,
/// invisible (or their numbers 0 to 7) for a contact or temporary buddy, "-" for an
/// entry without presence. A contact or temporary buddy written with "-" is an
/// entry whose details the roster could not read. NAME is the rest of the line.
class VellRosterFile
{
public:
    static bool read(const QString &path, QList<VellBuddy> *entries, QString *error = nullptr);
    /// Parses the text of a roster file; errors name the line.
    static bool parse(const QString &text, QList<VellBuddy> *entries, QString *error = nullptr);

    /// The word that stands for @p type in a roster file.
    static QString kindName(int type);
    /// The word that stands for presence @p flag in a roster file.
    static QString presenceName(int flag);
};

#endif // VELLROSTERFILE_H
