#ifndef VELLCAPTUREWIDGET_H
#define VELLCAPTUREWIDGET_H

#include "VellSnapWidgetsExport.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QImage;
class QScreen;
class VellCaptureOverlay;
class VellFrozenDesktop;
class VellScreenCover;

// A frameless full-screen window showing a frozen picture of the whole
// desktop, every monitor at its own place, on which the user drags out a
// rectangle. The widget covers the primary monitor and puts a window of its
// own over each further monitor (through Xwayland, where the monitors share
// one ratio, it spans them all itself), so a drag may start and end anywhere. It
// closes itself on release, Escape or a right-button press; afterwards
// getSelectedRegion() gives the chosen part of the picture, or null when the
// capture was cancelled.
//
// The region holds the device pixels of the X root window from the pixel
// pressed to the pixel released, both included, whichever monitors they lie
// on; pixels that no monitor shows are black. Its devicePixelRatio() is the
// ratio of the monitors it spans when they share one (so it shows at its
// logical size there), and 1 when it spans monitors of different ratios.
//
// In a Wayland session the picture comes from the desktop's screenshot
// portal (org.freedesktop.portal.Screenshot), natively or through Xwayland;
// the region is then in the compositor's device pixels. When no picture can
// be had (no portal, permission refused, no answer within 10 s, an
// unreadable file) the widget never shows, getSelectedRegion() is null as
// for a cancel, and lastError() says why; it is also logged once.
class VELL_SNAPWIDGETS_EXPORT VellCaptureWidget : public QWidget
{
    Q_OBJECT

public:
    explicit VellCaptureWidget(QWidget *parent = nullptr);
    ~VellCaptureWidget() override;

    // The image taken by the last capture since the last capture widget was
    // constructed, or null. The caller owns the image and deletes it.
    static QImage *getSelectedRegion();
    // Why the last capture since the last widget was constructed got no
    // picture of the desktop; empty when it got one (also after a cancel).
    static QString lastError();

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
    QPoint devicePosition(const QMouseEvent *event) const;
    void paintScreen(QPainter &painter, int screen) const;
    // Repaints at once what changed on each monitor since `before`.
    void repaintChanged(const VellCaptureOverlay &before);
    void coverFurtherScreens();
    // What this widget covers: its own monitor, or the whole desktop.
    QRect ownArea() const;
    // Where a monitor's top-left corner lies in the window showing it.
    QPoint originOnWindow(int screen) const;
    // The window showing a monitor, null when none does (yet).
    QWidget *windowOver(int screen);

    std::unique_ptr<VellFrozenDesktop> desktop;
    // The monitor this widget covers: the primary one.
    int ownScreen = 0;
    // Through Xwayland, with every monitor at one ratio, the widget alone
    // covers the whole desktop: a drag that crossed from one X window onto
    // another would be ended there (Xwayland releases the button as the
    // pointer leaves the window it was pressed on).
    bool spansDesktop = false;
    // One per monitor, null for ownScreen; only while the widget is shown.
    std::vector<std::unique_ptr<VellScreenCover>> covers;
    // In device pixels of the desktop, right and bottom inclusive; invalid
    // until a drag.
    QRect selection;
    QPoint startPoint;
    bool pressed = false;
    // Where the cross-hair is drawn, in device pixels: the pointer position
    // of the last event rather than the pointer read at paint time, so that a
    // move knows which bands it has to repaint.
    QPoint crosshair;

    static QImage *region;
    static QString error;
};

#endif // VELLCAPTUREWIDGET_H
