#ifndef VELLSELECTIONINTERFACE_H
#define VELLSELECTIONINTERFACE_H

#include "VellWidgetInterface.h"

// Offers VellSelectionWidget to Qt Designer.
class VellSelectionInterface : public VellWidgetInterface
{
    Q_OBJECT

public:
    explicit VellSelectionInterface(QObject *parent = nullptr);

    QWidget *createWidget(QWidget *parent) override;
};

#endif // VELLSELECTIONINTERFACE_H
