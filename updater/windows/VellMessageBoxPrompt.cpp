#include "VellMessageBoxPrompt.h"

#include <QMessageBox>

namespace {

/**
 * Shows a box without a parent and returns the button chosen. The text is
 * shown as written: it carries file names, system reasons and the update
 * server's words, none of which may be taken for markup (a link in a server's
 * reason phrase would otherwise become clickable).
 */
QMessageBox::StandardButton showBox(QMessageBox::Icon icon, const QString &title,
    const QString &text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, title, text, buttons);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    if (box.exec() == -1) {
        return QMessageBox::Cancel;
    }
    return box.standardButton(box.clickedButton());
}

} // namespace

bool VellMessageBoxPrompt::askRetry(const QString &title, const QString &text)
{
    return showBox(QMessageBox::Warning, title, text, QMessageBox::Abort | QMessageBox::Retry,
               QMessageBox::Retry)
        == QMessageBox::Retry;
}

void VellMessageBoxPrompt::tellError(const QString &title, const QString &text)
{
    showBox(QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void VellMessageBoxPrompt::tellInformation(const QString &title, const QString &text)
{
    showBox(QMessageBox::Information, title, text, QMessageBox::Ok, QMessageBox::Ok);
}
