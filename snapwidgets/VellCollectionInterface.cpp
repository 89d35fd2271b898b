#include "VellCollectionInterface.h"

#include "VellCaptureInterface.h"
#include "VellSelectionInterface.h"

VellCollectionInterface::VellCollectionInterface(QObject *parent)
    : QObject(parent)
{
    widgets.append(new VellSelectionInterface(this));
    widgets.append(new VellCaptureInterface(this));
}

VellCollectionInterface::~VellCollectionInterface() = default;

QList<QDesignerCustomWidgetInterface *> VellCollectionInterface::customWidgets() const
{
    return widgets;
}

// The verification text of the Qt build the client's own plug-in checks expect.
extern "C" Q_DECL_EXPORT const char *qt_plugin_query_verification_data()
{
    return "pattern=QT_PLUGIN_VERIFICATION_DATA\n"
           "version=4.4.3\n"
           "debug=false\n"
           "buildkey=i686 Linux g++-4 full-config";
}
