#include "VellMonitorCovering.h"

#include "VellPortalScreenshot.h"

#include <QGuiApplication>
#include <QWidget>

bool VellMonitorCovering::bypassesWindowManager()
{
    return VellPortalScreenshot::isWaylandSession()
        && QGuiApplication::platformName() == QLatin1String("xcb");
}

Qt::WindowFlags VellMonitorCovering::windowFlags()
{
    const Qt::WindowFlags flags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    return bypassesWindowManager() ? flags | Qt::X11BypassWindowManagerHint : flags;
}

void VellMonitorCovering::show(QWidget *window, const QRect &logical)
{
    if (bypassesWindowManager()) {
        window->setGeometry(logical);
        window->show();
        return;
    }
    window->showFullScreen();
}
