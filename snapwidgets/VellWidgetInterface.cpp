#include "VellWidgetInterface.h"

#include <QIcon>

VellWidgetInterface::VellWidgetInterface(
    const QString &className, const QString &objectName, QObject *parent)
    : QObject(parent)
    , className(className)
    , objectName(objectName)
{ }

VellWidgetInterface::~VellWidgetInterface() = default;

QString VellWidgetInterface::name() const
{
    return className;
}

QString VellWidgetInterface::group() const
{
    return QStringLiteral("Vell widgets");
}

QString VellWidgetInterface::toolTip() const
{
    return QString();
}

QString VellWidgetInterface::whatsThis() const
{
    return QString();
}

QString VellWidgetInterface::includeFile() const
{
    return className + QLatin1String(".h");
}

QIcon VellWidgetInterface::icon() const
{
    return QIcon();
}

bool VellWidgetInterface::isContainer() const
{
    return false;
}

bool VellWidgetInterface::isInitialized() const
{
    return initialized;
}

void VellWidgetInterface::initialize(QDesignerFormEditorInterface *)
{
    initialized = true;
}

QString VellWidgetInterface::domXml() const
{
    return QLatin1String("<widget class=\"") + className + QLatin1String("\" name=\"") + objectName
        + QLatin1String("\">\n"
                        " <property name=\"geometry\">\n"
                        "  <rect>\n"
                        "   <x>0</x>\n"
                        "   <y>0</y>\n"
                        "   <width>100</width>\n"
                        "   <height>100</height>\n"
                        "  </rect>\n"
                        " </property>\n"
                        "</widget>\n");
}
