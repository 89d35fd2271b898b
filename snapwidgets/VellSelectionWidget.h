#ifndef VELLSELECTIONWIDGET_H
#define VELLSELECTIONWIDGET_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>
#include <QWidget>

class QImage;

// A window picker: a miniature window with a target in it. The user presses
// on it, drags the target (now the pointer) over any window and releases;
// that whole top-level window is captured and the native window holding the
// picker (the host's dialog) is closed. getSelectedRegion() gives the picture.
class VELL_SNAPWIDGETS_EXPORT VellSelectionWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VellSelectionWidget(QWidget *parent = nullptr);
    ~VellSelectionWidget() override;

    // The picture taken by the last release since the last selection widget
    // was constructed, or null. The caller owns the image and deletes it.
    static QImage *getSelectedRegion();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap normalPixmap;
    QPixmap emptyPixmap;
    QPixmap cursorPixmap;
    // Set by the first press, never cleared: the target stays picked up.
    bool pressed = false;

    static QImage *region;
};

#endif // VELLSELECTIONWIDGET_H
