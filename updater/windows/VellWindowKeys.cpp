#include "VellWindowKeys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

QList<int> VellWindowKeys::confirm()
{
    return {Qt::Key_Return, Qt::Key_Enter};
}

QList<int> VellWindowKeys::dismiss()
{
    return {Qt::Key_Escape};
}

void VellWindowKeys::bind(
    QWidget *window, const QList<int> &keys, const std::function<void()> &action)
{
    for (const int key : keys) {
        // Owned by the window, so the key goes when the window goes.
        auto *shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, window, action);
    }
}
