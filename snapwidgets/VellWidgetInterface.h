#ifndef VELLWIDGETINTERFACE_H
#define VELLWIDGETINTERFACE_H

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

// What the Designer interfaces of both widgets share: the class and default
// object name, the "Vell widgets" group, a header named after the class, a
// plain (non-container) widget without icon or tips, and a 100 x 100 default
// geometry. Subclasses create their widget.
class VellWidgetInterface
    : public QObject
    , public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    ~VellWidgetInterface() override;

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override;
    bool isInitialized() const override;
    void initialize(QDesignerFormEditorInterface *core) override;
    QString domXml() const override;

protected:
    VellWidgetInterface(const QString &className, const QString &objectName, QObject *parent);

private:
    QString className;
    QString objectName;
    bool initialized = false;
};

#endif // VELLWIDGETINTERFACE_H
