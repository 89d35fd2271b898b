#include "VellSelectionInterface.h"

#include "VellSelectionWidget.h"

VellSelectionInterface::VellSelectionInterface(QObject *parent)
    : VellWidgetInterface(
        QStringLiteral("VellSelectionWidget"), QStringLiteral("Selection"), parent)
{ }

QWidget *VellSelectionInterface::createWidget(QWidget *parent)
{
    return new VellSelectionWidget(parent);
}
