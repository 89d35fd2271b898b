#include "VellChangelogDialog.h"

#include "Update.h"
#include "VellDownloadDialog.h"
#include "VellFormLoader.h"
#include "VellText.h"
#include "VellUpdaterEngine.h"
#include "VellWindowKeys.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

namespace {
QString fromUtf8(const std::string &bytes)
{
    return QString::fromUtf8(bytes.data(), int(bytes.size()));
}
} // namespace

VellChangelogDialog::VellChangelogDialog(VellUpdaterEngine *engine)
    : QObject(nullptr)
    , engine(engine)
{
    VellFormLoader loader(QStringLiteral(":/res/Changelog.ui"));
    viewChangelogButton = loader.find<QPushButton>("Updater_Changelog_ViewChangelog");
    auto *downloadNowButton = loader.find<QPushButton>("Updater_Changelog_DownloadNow");
    auto *downloadLaterButton = loader.find<QPushButton>("Updater_Changelog_DownloadLater");
    details = loader.find<QPlainTextEdit>("Updater_Changelog_Details");
    if (!loader.isComplete()) {
        VellFormLoader::abandon(this, loader.errorString());
        return;
    }
    form = loader.takeForm();

    connect(form, &QObject::destroyed, this, &QObject::deleteLater);
    connect(
        viewChangelogButton, &QPushButton::clicked, this, &VellChangelogDialog::toggleChangelog);
    connect(downloadNowButton, &QPushButton::clicked, this, &VellChangelogDialog::downloadNow);
    connect(downloadLaterButton, &QPushButton::clicked, form, &QWidget::close);
    // As in a dialog: Return is the main button, Escape the way out.
    VellWindowKeys::bind(form, VellWindowKeys::confirm(), [this] { downloadNow(); });
    VellWindowKeys::bind(form, VellWindowKeys::dismiss(), [this] { form->close(); });

    details->setPlainText(changelogText(engine->getUpdates()));
    details->hide();

    form->setAttribute(Qt::WA_DeleteOnClose);
    form->adjustSize();
    form->show();
}

QString VellChangelogDialog::changelogText(const QVector<Update *> &updates)
{
    QString text;
    for (const Update *update : updates) {
        if (!text.isEmpty()) {
            text += QLatin1String("\n\n");
        }
        text += fromUtf8(update->getDescription()) + QLatin1Char('\n')
            + QLatin1String("Zmiany w wersji ") + fromUtf8(update->getVersion()) + QLatin1Char('\n')
            + fromUtf8(update->getChangelog());
    }
    return text;
}

void VellChangelogDialog::toggleChangelog()
{
    if (details->isVisible()) {
        details->hide();
        viewChangelogButton->setText(VellText::tr("Show changelog", "nc"));
    } else {
        details->show();
        viewChangelogButton->setText(VellText::tr("Hide changelog", "nc"));
    }
    form->adjustSize();
}

void VellChangelogDialog::downloadNow()
{
    form->close();
    new VellDownloadDialog(engine);
}
