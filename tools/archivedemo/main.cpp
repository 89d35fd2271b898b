// Plays the client in front of the message archive: two conversations with a
// few messages and a recipient joining, then a report of the stored rows.

#include "VellArchiveModule.h"
#include "VellDBConnection.h"
#include "VellDBModule.h"
#include "VellDBResult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

using VellArchive::VellArchiveModule;
using Entry = VellArchiveBackendConversationEntry;

bool recordConversations(VellArchiveModule &archive)
{
    const QDateTime morning = QDateTime::currentDateTime().addSecs(-3600);
    const QString jabber = QStringLiteral("jabber");
    const QString alice = QStringLiteral("alice@example.org");
    const QString bob = QStringLiteral("bob@example.org");
    const QString irish = QStringLiteral("o'brien@example.org");

    const int lunch = archive.startConversation(
        VellArchiveBackendConversation::Chat, {bob}, alice, jabber, QString());
    archive.addEntry(lunch, bob, QStringLiteral("Lunch at noon? The Polish place: pierogi!"),
        morning, QString(), Entry::Message);
    archive.addEntry(lunch, alice, QStringLiteral("Yes, I'd love pierogi. Noon it is."),
        morning.addSecs(60), QString(), Entry::Message);
    archive.finishConversation(lunch);

    const int project = archive.startConversation(VellArchiveBackendConversation::GroupChat, {bob},
        alice, jabber, QStringLiteral("room=release"));
    archive.addEntry(project, alice, QStringLiteral("Release notes are ready for review."),
        morning.addSecs(600), QString(), Entry::Message);
    archive.addRecipient(project, irish);
    archive.addEntry(project, irish, QStringLiteral("Reviewing the release notes now."),
        morning.addSecs(660), QString(), Entry::Message);
    archive.addEntry(
        project, bob, QStringLiteral("ok"), morning.addSecs(720), QString(), Entry::Message);
    archive.finishConversation(project);

    if (lunch <= 0 || project <= 0) {
        return false;
    }
    QTextStream(stdout) << "Recorded conversations " << lunch << " and " << project << ".\n";
    return true;
}

QStringList column(VellDatabase::VellDBConnection &db, const QString &sql)
{
    QStringList values;
    const std::unique_ptr<VellDatabase::VellDBResult> result(db.query(sql));
    for (int row = 0; result && row < result->rowCount(); ++row) {
        values << result->value(row, 0);
    }
    return values;
}

bool report(const QString &databaseName)
{
    const std::unique_ptr<VellDatabase::VellDBConnection> db(
        VellDatabase::VellDBModule::getDBConnection(databaseName, true));
    if (!db) {
        return false;
    }
    QTextStream out(stdout);
    out << "\nRows per table:\n";
    for (const QString &table : column(*db,
             // SQLite's own tables (its statistics, sqlite_stat1) are not the archive's.
             QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                            "name NOT LIKE 'sqlite!_%' ESCAPE '!' ORDER BY name"))) {
        const QStringList count = column(*db, QStringLiteral("SELECT count(*) FROM ") + table);
        out << "  " << qSetFieldWidth(14) << Qt::left << table << qSetFieldWidth(0)
            << count.value(0) << '\n';
    }
    const QStringList words = column(*db, QStringLiteral("SELECT Word FROM Words ORDER BY Word"));
    out << "\nIndexed words (" << words.size() << "):\n  " << words.join(QStringLiteral(", "))
        << '\n';
    return true;
}

const char usage[] = "usage: archive-demo [DBFILE]\n"
                     "Records two conversations into the archive DBFILE (a scratch file\n"
                     "without it) the way the client does and prints what the file holds.\n";

/// Why @p databaseName cannot take an archive, as the operating system says;
/// empty when it can be opened for reading and writing (SQLite makes it).
QString unusableReason(const QString &databaseName)
{
    QFile file(databaseName);
    return file.open(QIODevice::ReadWrite) ? QString() : file.errorString();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments == QStringList {QStringLiteral("--help")}
        || arguments == QStringList {QStringLiteral("-h")}) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (arguments.size() > 1 || arguments.value(0).startsWith(QLatin1Char('-'))) {
        std::fputs(usage, stderr);
        return 2;
    }

    QTemporaryDir scratch;
    const QString databaseName = arguments.isEmpty()
        ? scratch.filePath(QStringLiteral("archive.db"))
        : QDir::current().absoluteFilePath(arguments.first());
    const QString reason = unusableReason(databaseName);
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "archive-demo: cannot record into %s: %s\n", qPrintable(databaseName),
            qPrintable(reason));
        return 1;
    }
    QTextStream(stdout) << "Archive: " << QDir::toNativeSeparators(databaseName) << '\n';

    bool recorded = false;
    {
        VellArchiveModule archive(databaseName);
        recorded = recordConversations(archive);
    }
    if (!recorded || !report(databaseName)) {
        std::fprintf(stderr, "archive-demo: cannot record into %s\n", qPrintable(databaseName));
        return 1;
    }
    return 0;
}
