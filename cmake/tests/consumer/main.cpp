// Uses both libraries through their installed headers: records a conversation
// in a fresh archive and reads it back, and loads the widgets' resources.
#include <VellArchiveModule.h>
#include <VellGrabWindow.h>

#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fputs("vell-consumer: no scratch folder\n", stderr);
        return 1;
    }
    VellArchive::VellArchiveModule archive(dir.filePath(QStringLiteral("archive.db")));
    const int id = archive.startConversation(VellArchiveBackendConversation::Chat,
        {QStringLiteral("bob@example.org")}, QStringLiteral("alice@example.org"),
        QStringLiteral("jabber"), QString());
    archive.addEntry(id, QStringLiteral("bob@example.org"), QStringLiteral("hello"),
        QDateTime::currentDateTime(), QString(), VellArchiveBackendConversationEntry::Message);
    archive.finishConversation(id);
    const int conversations = archive.getAllConversations(true).size();

    // The widgets' resource collection comes with the library.
    const bool resources = QFile::exists(QStringLiteral(":/res/bg_norm.bmp"));
    // Off X11 a window grab gives nothing, and must not crash.
    const bool grabbed = !grabWindow(QPoint(1, 1)).isNull();

    std::printf("conversations %d, widget resources %s, grab %s\n", conversations,
        resources ? "found" : "missing", grabbed ? "picture" : "none");
    return conversations == 1 && resources ? 0 : 1;
}
