#ifndef VELLCAPTUREWIDGET_H
#define VELLCAPTUREWIDGET_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QImage;
class VellCaptureOverlay;

// A frameless full-screen window showing a frozen picture of the desktop on
// which the user drags out a rectangle. The widget closes itself on release,
// Escape or a right-button press; afterwards getSelectedRegion() gives the
// chosen part of the picture, or null when the capture was cancelled.
class VELL_SNAPWIDGETS_EXPORT VellCaptureWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VellCaptureWidget(QWidget *parent = nullptr);
    ~VellCaptureWidget() override;

    // The image taken by the last capture since the last capture widget was
    // constructed, or null. The caller owns the image and deletes it.
    static QImage *getSelectedRegion();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private Q_SLOTS:
    void init();

private:
    VellCaptureOverlay overlay() const;

    QPixmap screenPixmap;
    // In widget coordinates, right and bottom inclusive; invalid until a drag.
    QRect selection;
    QPoint startPoint;
    bool pressed = false;
    // Where the cross-hair is drawn: the pointer position of the last event,
    // rather than the pointer read at paint time, so that a move knows which
    // bands it has to repaint.
    QPoint crosshair;

    static QImage *region;
};

#endif // VELLCAPTUREWIDGET_H
