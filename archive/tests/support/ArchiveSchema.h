#ifndef ARCHIVESCHEMA_H
#define ARCHIVESCHEMA_H

#include <QStringList>

class SqliteProbe;

/// The archive's schema as a database file keeps it, for comparing files.
namespace ArchiveSchema {

/**
 * Every table and index of a complete archive in the order they are created,
 * each as SQLite stores its CREATE statement: the text as sent from the name
 * on, every blank included ("IF NOT EXISTS" dropped).
 */
QStringList expected();

/// The statements stored in the file behind @p probe, in creation order,
/// SQLite's own tables (planner statistics) left out.
QStringList stored(SqliteProbe &probe);

/// The stored schema followed by every row of every table, for before/after comparisons.
QStringList snapshot(SqliteProbe &probe);

} // namespace ArchiveSchema

#endif // ARCHIVESCHEMA_H
