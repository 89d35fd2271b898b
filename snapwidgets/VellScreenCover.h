#ifndef VELLSCREENCOVER_H
#define VELLSCREENCOVER_H

#include <QWidget>

#include <functional>

class QScreen;

// A frameless window that covers one monitor, paints it through a callback
// and hands every mouse and key event it gets to another widget. The capture
// widget covers each further monitor with one: a single window cannot span
// monitors with different device pixel ratios.
class VellScreenCover : public QWidget
{
    Q_OBJECT

public:
    using PaintFunction = std::function<void(QPainter &)>;

    VellScreenCover(QScreen *screen, QWidget *inputTarget, const PaintFunction &paintScreen);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *inputTarget;
    PaintFunction paintScreen;
};

#endif // VELLSCREENCOVER_H
