#include "VellMessageBoxPrompt.h"

#include <QMessageBox>

bool VellMessageBoxPrompt::askRetry(const QString &title, const QString &text)
{
    return QMessageBox::warning(
               nullptr, title, text, QMessageBox::Abort | QMessageBox::Retry, QMessageBox::Retry)
        == QMessageBox::Retry;
}

void VellMessageBoxPrompt::tellError(const QString &title, const QString &text)
{
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

void VellMessageBoxPrompt::tellInformation(const QString &title, const QString &text)
{
    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}
