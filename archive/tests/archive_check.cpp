// Opens an archive the way the client does and prints what the module sees
// and what its writing calls answer, for the tests that run it where the test
// itself cannot go: as another user, or inside a private mount namespace.
//
//   archive-check ARCHIVE
//
// Prints three lines: "seen" with the conversations (ID, recipients, entry
// texts) and SMS (ID, body, recipients) that the module returns, "writes" with
// the answers of startConversation and addSMS after every writing call was
// tried, and "unchanged" with 1 when the module still returns exactly what it
// did before.

#include "VellArchiveModule.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace VellArchive;

namespace {

QString contents(VellArchiveModule &module)
{
    QStringList seen;
    for (const VellArchiveBackendConversation &conversation : module.getAllConversations(true)) {
        QStringList texts;
        for (const VellArchiveBackendConversationEntry &entry : conversation.getEntries()) {
            texts << entry.getText();
        }
        seen << QStringLiteral("chat %1 [%2] {%3}")
                    .arg(QString::number(conversation.getId()),
                        conversation.getRecipients().join(QLatin1Char(',')),
                        texts.join(QLatin1Char('/')));
    }
    for (const VellArchiveBackendSMS &sms : module.getAllTextMessages(true)) {
        seen << QStringLiteral("sms %1 [%2] {%3}")
                    .arg(QString::number(sms.getId()), sms.getRecipients().join(QLatin1Char(',')),
                        sms.getBody());
    }
    VellArchiveBackendSearchCriteria hello;
    hello.texts = QStringList {QStringLiteral("hello")};
    seen << QStringLiteral("found %1").arg(module.searchForConversations(hello, false).size());
    return seen.join(QStringLiteral("; "));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        return 2;
    }
    VellArchiveModule module(app.arguments().at(1));
    const QString before = contents(module);

    const QDateTime now = QDateTime::currentDateTime();
    const int started = module.startConversation(VellArchiveBackendConversation::Chat,
        {QStringLiteral("zoe")}, QStringLiteral("alice"), QStringLiteral("jabber"), QString());
    const int sms = module.addSMS(
        QStringLiteral("+48600"), {QStringLiteral("+48500")}, QStringLiteral("written"), now);
    for (const VellArchiveBackendConversation &conversation : module.getAllConversations(false)) {
        module.removeConversation(conversation.getId());
    }
    module.removeSMS(VellArchiveBackendSearchCriteria());

    QTextStream out(stdout);
    out << "seen " << before << '\n'
        << "writes " << started << ' ' << sms << '\n'
        << "unchanged " << (contents(module) == before ? 1 : 0) << '\n';
    return 0;
}
