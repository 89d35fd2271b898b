#include "UpdaterForms.h"

#include <QApplication>
#include <QWidget>

QStringList visibleForms()
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName().startsWith(QLatin1String("Updater_"))) {
            names << widget->objectName();
        }
    }
    return names;
}

QWidget *topLevel(const QString &formName)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == formName && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

void settle()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QStringList topLevelWindows()
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        names << (widget->objectName().isEmpty() ? QLatin1String(widget->metaObject()->className())
                                                 : widget->objectName());
    }
    return names;
}

QStringList takeWindowsLeftBehind()
{
    settle();
    const QStringList leftBehind = topLevelWindows();
    QApplication::closeAllWindows();
    settle();
    return leftBehind;
}
