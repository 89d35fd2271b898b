#include "MessageBoxAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMetaEnum>
#include <QPushButton>

namespace {
// The buttons' names joined with "|"; an alias (FirstButton for Ok) is left out.
QString buttonNames(QMessageBox::StandardButtons buttons)
{
    const QMetaObject &meta = QMessageBox::staticMetaObject;
    const QMetaEnum names = meta.enumerator(meta.indexOfEnumerator("StandardButtons"));
    QStringList found;
    QVector<int> seen;
    for (int i = 0; i < names.keyCount(); ++i) {
        const int value = names.value(i);
        if (value != 0 && !seen.contains(value) && (buttons & value) == value
            && value <= QMessageBox::LastButton) {
            found << QLatin1String(names.key(i));
        }
        seen << value;
    }
    return found.isEmpty() ? QStringLiteral("NoButton") : found.join(QLatin1Char('|'));
}

QString lookOf(const QMessageBox *box)
{
    const QMetaObject &meta = QMessageBox::staticMetaObject;
    const QMetaEnum icons = meta.enumerator(meta.indexOfEnumerator("Icon"));
    const QMessageBox::StandardButton defaultButton
        = box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
    return QStringLiteral("%1 [%2] default %3, %4")
        .arg(QLatin1String(icons.valueToKey(box->icon())), buttonNames(box->standardButtons()),
            buttonNames(defaultButton),
            box->parentWidget() ? QStringLiteral("with parent") : QStringLiteral("no parent"));
}
} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(QVector<QMessageBox::StandardButton> answers)
    : answers(std::move(answers))
{
    connect(&timer, &QTimer::timeout, this, &MessageBoxAnswerer::answerActiveBox);
    timer.start(20);
}

void MessageBoxAnswerer::answerActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) {
        return;
    }
    const int index = texts.size();
    titles << box->windowTitle();
    texts << box->text();
    looks << lookOf(box);
    if (beforeAnswer) {
        beforeAnswer(index);
    }
    const QMessageBox::StandardButton answer
        = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    QAbstractButton *button = box->button(answer);
    if (button) {
        button->click();
    } else {
        box->reject();
    }
}
