#ifndef VELLCAPTUREINTERFACE_H
#define VELLCAPTUREINTERFACE_H

#include "VellWidgetInterface.h"

// Offers VellCaptureWidget to Qt Designer.
class VellCaptureInterface : public VellWidgetInterface
{
    Q_OBJECT

public:
    explicit VellCaptureInterface(QObject *parent = nullptr);

    QWidget *createWidget(QWidget *parent) override;
};

#endif // VELLCAPTUREINTERFACE_H
