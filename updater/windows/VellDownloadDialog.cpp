#include "VellDownloadDialog.h"

#include "VellFormLoader.h"
#include "VellInstallDialog.h"
#include "VellMessageBoxPrompt.h"
#include "VellText.h"
#include "VellUpdaterEngine.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

VellDownloadDialog::VellDownloadDialog(VellUpdaterEngine *engine)
    : QObject(nullptr)
    , engine(engine)
{
    VellFormLoader loader(QStringLiteral(":/res/Download.ui"));
    progressBar = loader.find<QProgressBar>("Updater_Download_Progress");
    auto *progressText = loader.find<QLabel>("Updater_Download_ProgressText");
    auto *cancelButton = loader.find<QPushButton>("Updater_Download_Cancel");
    if (!loader.isComplete()) {
        VellFormLoader::abandon(this, loader.errorString());
        return;
    }
    form = loader.takeForm();

    connect(form, &QObject::destroyed, this, &QObject::deleteLater);
    connect(engine, &VellUpdaterEngine::downloadProgress, progressBar, &QProgressBar::setValue);
    connect(engine, &VellUpdaterEngine::error, this, &VellDownloadDialog::error);
    connect(engine, &VellUpdaterEngine::downloadFile, progressText, &QLabel::setText);
    connect(engine, &VellUpdaterEngine::downloadFinished, this, &VellDownloadDialog::finished);
    connect(cancelButton, &QPushButton::clicked, engine, &VellUpdaterEngine::abortDownload);
    connect(cancelButton, &QPushButton::clicked, form, &QWidget::close);

    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();

    // Starts once the event loop runs with the window on screen; a window
    // cancelled before that never starts a download.
    QTimer::singleShot(0, this, [this] {
        if (form && form->isVisible()) {
            this->engine->beginDownload();
        }
    });
}

void VellDownloadDialog::error(const QString &str)
{
    // The engine has nothing more to say to this window; a late signal must
    // not raise a second box.
    disconnect(engine, nullptr, this, nullptr);
    if (form) {
        form->close();
    }
    VellMessageBoxPrompt().tellError(VellText::tr("Update", "nc"), str);
}

void VellDownloadDialog::finished()
{
    disconnect(engine, nullptr, this, nullptr);
    if (form) {
        form->close();
    }
    new VellInstallDialog(engine);
}
