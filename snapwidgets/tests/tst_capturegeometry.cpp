#include "VellCaptureGeometry.h"
#include "VellCaptureOverlay.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

using VellCaptureGeometry::devicePixelRect;
using VellCaptureGeometry::normalisedSelection;

// The selection rectangle and its mapping onto the frozen picture, and the
// limited repaint of the overlay, checked without a display.
class tst_CaptureGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionIsInclusiveWhicheverWayTheDragGoes_data();
    void selectionIsInclusiveWhicheverWayTheDragGoes();
    void devicePixelRectCoversWhatTheUserSaw_data();
    void devicePixelRectCoversWhatTheUserSaw();
    void repaintingTheChangedRegionEqualsAFullRepaint_data();
    void repaintingTheChangedRegionEqualsAFullRepaint();
};

void tst_CaptureGeometry::selectionIsInclusiveWhicheverWayTheDragGoes_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected");

    const QRect box(QPoint(10, 20), QPoint(50, 80));
    QTest::newRow("down right") << QPoint(10, 20) << QPoint(50, 80) << box;
    QTest::newRow("up left") << QPoint(50, 80) << QPoint(10, 20) << box;
    QTest::newRow("up right") << QPoint(10, 80) << QPoint(50, 20) << box;
    QTest::newRow("down left") << QPoint(50, 20) << QPoint(10, 80) << box;
    QTest::newRow("zero width") << QPoint(30, 20) << QPoint(30, 80)
                                << QRect(QPoint(30, 20), QPoint(30, 80));
    QTest::newRow("single pixel") << QPoint(7, 7) << QPoint(7, 7) << QRect(7, 7, 1, 1);
    // QRect::normalized() would keep this one empty.
    QTest::newRow("one pixel to the left")
        << QPoint(30, 20) << QPoint(29, 20) << QRect(QPoint(29, 20), QPoint(30, 20));
    QTest::newRow("at the origin")
        << QPoint(0, 0) << QPoint(0, 3) << QRect(QPoint(0, 0), QPoint(0, 3));
}

void tst_CaptureGeometry::selectionIsInclusiveWhicheverWayTheDragGoes()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const QRect selection = normalisedSelection(start, end);
    QCOMPARE(selection, expected);
    QVERIFY(selection.isValid());
    QVERIFY(selection.contains(start));
    QVERIFY(selection.contains(end));
}

void tst_CaptureGeometry::devicePixelRectCoversWhatTheUserSaw_data()
{
    QTest::addColumn<QRect>("logical");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("deviceSize");
    QTest::addColumn<QRect>("expected");

    const QSize screen(1280, 800);
    QTest::newRow("ratio 1") << QRect(10, 20, 30, 40) << 1.0 << screen << QRect(10, 20, 30, 40);
    QTest::newRow("ratio 2") << QRect(10, 20, 30, 40) << 2.0 << screen << QRect(20, 40, 60, 80);
    QTest::newRow("ratio 2, one column")
        << QRect(QPoint(5, 5), QPoint(5, 9)) << 2.0 << screen << QRect(10, 10, 2, 10);
    QTest::newRow("ratio 1.5 rounds outwards")
        << QRect(1, 1, 1, 1) << 1.5 << screen << QRect(QPoint(1, 1), QPoint(2, 2));
    QTest::newRow("cut at the picture's edge") << QRect(600, 350, 100, 100) << 2.0 << screen
                                               << QRect(QPoint(1200, 700), QPoint(1279, 799));
    QTest::newRow("off the picture") << QRect(700, 10, 5, 5) << 2.0 << screen << QRect();
    QTest::newRow("invalid selection")
        << QRect(QPoint(10, 10), QPoint(8, 12)) << 1.0 << screen << QRect();
}

void tst_CaptureGeometry::devicePixelRectCoversWhatTheUserSaw()
{
    QFETCH(QRect, logical);
    QFETCH(qreal, ratio);
    QFETCH(QSize, deviceSize);
    QFETCH(QRect, expected);

    QCOMPARE(devicePixelRect(logical, ratio, deviceSize), expected);
}

namespace {
QPixmap patternScreen(const QSize &logicalSize, qreal ratio)
{
    QImage image(logicalSize * ratio, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
        }
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QImage render(const QPixmap &screen, const VellCaptureOverlay &overlay, QImage image = QImage(),
    const QRegion &clip = QRegion())
{
    if (image.isNull()) {
        image = QImage(screen.size(), QImage::Format_RGB32);
        image.setDevicePixelRatio(screen.devicePixelRatio());
        image.fill(Qt::magenta);
    }
    QPainter painter(&image);
    if (!clip.isNull()) {
        painter.setClipRegion(clip);
    }
    overlay.paint(painter, screen);
    return image;
}
} // namespace

void tst_CaptureGeometry::repaintingTheChangedRegionEqualsAFullRepaint_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QPoint>("crosshairBefore");
    QTest::addColumn<QRect>("selectionBefore");
    QTest::addColumn<QPoint>("crosshairAfter");
    QTest::addColumn<QRect>("selectionAfter");
    // Whether most of the picture must stay untouched: the point of limiting.
    QTest::addColumn<bool>("small");

    const QRect none;
    for (const qreal ratio : {1.0, 2.0}) {
        const QByteArray suffix = ratio == 1.0 ? " @1x" : " @2x";
        QTest::newRow(QByteArray("pointer moves" + suffix).constData())
            << ratio << QPoint(20, 30) << none << QPoint(21, 35) << none << true;
        QTest::newRow(QByteArray("drag starts" + suffix).constData())
            << ratio << QPoint(40, 40) << QRect(QPoint(40, 40), QPoint(-1, -1)) << QPoint(60, 70)
            << QRect(QPoint(40, 40), QPoint(60, 70)) << true;
        QTest::newRow(QByteArray("drag grows" + suffix).constData())
            << ratio << QPoint(60, 70) << QRect(QPoint(40, 40), QPoint(60, 70)) << QPoint(90, 75)
            << QRect(QPoint(40, 40), QPoint(90, 75)) << true;
        QTest::newRow(QByteArray("drag shrinks" + suffix).constData())
            << ratio << QPoint(90, 75) << QRect(QPoint(40, 40), QPoint(90, 75)) << QPoint(45, 41)
            << QRect(QPoint(40, 40), QPoint(45, 41)) << true;
        QTest::newRow(QByteArray("drag crosses its start" + suffix).constData())
            << ratio << QPoint(60, 70) << QRect(QPoint(40, 40), QPoint(60, 70)) << QPoint(10, 5)
            << QRect(QPoint(10, 5), QPoint(40, 40)) << false;
        QTest::newRow(QByteArray("second press moves the top-left corner" + suffix).constData())
            << ratio << QPoint(90, 75) << QRect(QPoint(40, 40), QPoint(90, 75)) << QPoint(60, 50)
            << QRect(QPoint(60, 50), QPoint(90, 75)) << true;
        QTest::newRow(QByteArray("zero-width selection" + suffix).constData())
            << ratio << QPoint(50, 70) << QRect(QPoint(40, 40), QPoint(50, 70)) << QPoint(40, 70)
            << QRect(QPoint(40, 40), QPoint(40, 70)) << true;
        QTest::newRow(QByteArray("at the far edges" + suffix).constData())
            << ratio << QPoint(0, 0) << none << QPoint(159, 99)
            << QRect(QPoint(0, 0), QPoint(159, 99)) << false;
    }
}

void tst_CaptureGeometry::repaintingTheChangedRegionEqualsAFullRepaint()
{
    QFETCH(qreal, ratio);
    QFETCH(QPoint, crosshairBefore);
    QFETCH(QRect, selectionBefore);
    QFETCH(QPoint, crosshairAfter);
    QFETCH(QRect, selectionAfter);
    QFETCH(bool, small);

    const QSize area(160, 100);
    const QPixmap screen = patternScreen(area, ratio);
    const VellCaptureOverlay before(area, crosshairBefore, selectionBefore);
    const VellCaptureOverlay after(area, crosshairAfter, selectionAfter);

    const QRegion changed = VellCaptureOverlay::changedRegion(before, after);
    const QImage limited = render(screen, after, render(screen, before), changed);
    QCOMPARE(limited, render(screen, after));
    if (small) {
        int changedPixels = 0;
        for (const QRect &rect : changed) {
            changedPixels += rect.width() * rect.height();
        }
        QVERIFY2(changedPixels < area.width() * area.height() / 2,
            qPrintable(QString::number(changedPixels)));
    }
}

QTEST_MAIN(tst_CaptureGeometry)
#include "tst_capturegeometry.moc"
