#include "VellSummaryDialog.h"

#include "VellFormLoader.h"
#include "VellText.h"
#include "VellUpdaterEngine.h"
#include "VellWindowKeys.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

VellSummaryDialog::VellSummaryDialog(VellUpdaterEngine *engine)
    : QObject(nullptr)
    , engine(engine)
{
    VellFormLoader loader(QStringLiteral(":/res/Summary.ui"));
    details = loader.find<QPlainTextEdit>("Updater_Summary_Details");
    viewDetailsButton = loader.find<QPushButton>("Updater_Summary_ViewDetails");
    auto *status = loader.find<QLabel>("Updater_Summary_Status");
    auto *instruction = loader.find<QLabel>("Updater_Summary_Instruction");
    if (!loader.isComplete()) {
        VellFormLoader::abandon(this, loader.errorString());
        return;
    }
    form = loader.takeForm();

    details->setPlainText(engine->getLog());
    if (!engine->installSucceeded) {
        status->setText(VellText::tr("Installation failed", "nc"));
        instruction->setText(
            VellText::tr("Please reinstall application with package from official web page", "nc"));
    }

    // The log starts shown; the link button hides and shows it again.
    setDetailsShown(true);
    connect(viewDetailsButton, &QPushButton::clicked, this, &VellSummaryDialog::toggleDetails);
    // Nothing is left to decide: both keys just end the run.
    VellWindowKeys::bind(
        form, VellWindowKeys::confirm() + VellWindowKeys::dismiss(), [this] { form->close(); });

    connect(form, &QObject::destroyed, this, &QObject::deleteLater);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}

void VellSummaryDialog::setDetailsShown(bool shown)
{
    details->setVisible(shown);
    viewDetailsButton->setText(
        shown ? VellText::tr("Hide details", "nc") : VellText::tr("View details", "nc"));
}

void VellSummaryDialog::toggleDetails()
{
    // Only the height changes: a narrower window would wrap the texts anew.
    const int width = form->width();
    if (details->isVisibleTo(form)) {
        heightWithDetails = form->height();
        setDetailsShown(false);
        // The window's minimum size still counts the log until the layout has seen it go.
        form->layout()->activate();
        const int height = form->heightForWidth(width);
        form->resize(width, height > 0 ? height : form->sizeHint().height());
    } else {
        setDetailsShown(true);
        form->resize(width, heightWithDetails);
    }
}
