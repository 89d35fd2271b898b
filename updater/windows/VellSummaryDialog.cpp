#include "VellSummaryDialog.h"

#include "VellFormLoader.h"
#include "VellUpdaterEngine.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

VellSummaryDialog::VellSummaryDialog(VellUpdaterEngine *engine)
    : QObject(nullptr)
    , engine(engine)
{
    VellFormLoader loader(QStringLiteral(":/res/Summary.ui"));
    auto *details = loader.find<QPlainTextEdit>("Updater_Summary_Details");
    auto *status = loader.find<QLabel>("Updater_Summary_Status");
    auto *instruction = loader.find<QLabel>("Updater_Summary_Instruction");
    if (!loader.isComplete()) {
        VellFormLoader::abandon(this, loader.errorString());
        return;
    }
    QWidget *form = loader.takeForm();

    details->setPlainText(engine->getLog());
    if (!engine->installSucceeded) {
        status->setText(QCoreApplication::translate("translation", "Installation failed", "nc"));
        instruction->setText(QCoreApplication::translate("translation",
            "Please reinstall application with package from official web page", "nc"));
    }

    connect(form, &QObject::destroyed, this, &QObject::deleteLater);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}
