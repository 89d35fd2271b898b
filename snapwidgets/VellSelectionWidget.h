#ifndef VELLSELECTIONWIDGET_H
#define VELLSELECTIONWIDGET_H

#include "VellSnapWidgetsExport.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

class QImage;

// A window picker: a miniature window with a target in it. The user presses
// on it, drags the target (now the pointer) over any window and releases;
// that whole top-level window is captured and the native window holding the
// picker (the host's dialog) is closed. getSelectedRegion() gives the picture.
//
// In a Wayland session no program can tell which window is under the
// pointer: the release opens the screenshot portal's interactive dialog, in
// which the user picks a window or an area. Without it, or when it fails,
// getSelectedRegion() is null and lastError() says why (logged once).
class VELL_SNAPWIDGETS_EXPORT VellSelectionWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VellSelectionWidget(QWidget *parent = nullptr);
    ~VellSelectionWidget() override;

    // The picture taken by the last release since the last selection widget
    // was constructed, or null. The caller owns the image and deletes it.
    static QImage *getSelectedRegion();
    // Why the last release since the last selection widget was constructed
    // got no picture; empty when it got one.
    static QString lastError();

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
    static QString error;
};

#endif // VELLSELECTIONWIDGET_H
