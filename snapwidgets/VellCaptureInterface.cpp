#include "VellCaptureInterface.h"

#include "VellCaptureWidget.h"

VellCaptureInterface::VellCaptureInterface(QObject *parent)
    : VellWidgetInterface(
        QStringLiteral("VellCaptureWidget"), QStringLiteral("captureRegion"), parent)
{ }

QWidget *VellCaptureInterface::createWidget(QWidget *parent)
{
    return new VellCaptureWidget(parent);
}
