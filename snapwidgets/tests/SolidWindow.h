#ifndef SOLIDWINDOW_H
#define SOLIDWINDOW_H

#include <QColor>
#include <QRect>
#include <QWidget>

// A top-level window of known geometry filled with one colour.
class SolidWindow : public QWidget
{
public:
    SolidWindow(const QRect &geometry, const QColor &colour);

    // True when every pixel of `image` has this window's colour.
    bool isPictureOf(const QImage &image) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor colour;
};

#endif // SOLIDWINDOW_H
