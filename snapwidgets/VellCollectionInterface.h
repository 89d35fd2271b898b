#ifndef VELLCOLLECTIONINTERFACE_H
#define VELLCOLLECTIONINTERFACE_H

#include <QList>
#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>

// The plug-in object that Qt Designer and QUiLoader load: offers the selection
// widget and then the capture widget.
class VellCollectionInterface
    : public QObject
    , public QDesignerCustomWidgetCollectionInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit VellCollectionInterface(QObject *parent = nullptr);
    ~VellCollectionInterface() override;

    QList<QDesignerCustomWidgetInterface *> customWidgets() const override;

private:
    // Owned as QObject children, in the order of creation.
    QList<QDesignerCustomWidgetInterface *> widgets;
};

#endif // VELLCOLLECTIONINTERFACE_H
