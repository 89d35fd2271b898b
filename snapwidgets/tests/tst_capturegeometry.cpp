#include "VellCaptureGeometry.h"
#include "VellCaptureOverlay.h"
#include "VellDesktopLayout.h"
#include "VellFrozenDesktop.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

using VellCaptureGeometry::normalisedSelection;
using Screen = VellDesktopLayout::Screen;

Q_DECLARE_METATYPE(QVector<Screen>)

namespace {
// Two 1920 x 1080 monitors side by side at the given ratios, laid out the way
// Qt does: each keeps its top-left corner at its device position.
QVector<Screen> sideBySide(qreal leftRatio, qreal rightRatio)
{
    const QSize device(1920, 1080);
    return {{QRect(QPoint(0, 0), device / leftRatio), QRect(QPoint(0, 0), device), leftRatio},
        {QRect(QPoint(1920, 0), device / rightRatio), QRect(QPoint(1920, 0), device), rightRatio}};
}

// Every device pixel of this picture shows its desktop coordinates.
QPixmap patternPicture(const QRect &device, qreal ratio)
{
    QImage image(device.size(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPoint at = device.topLeft() + QPoint(x, y);
            image.setPixel(
                x, y, qRgb(at.x() * 7 % 256, at.y() * 13 % 256, (at.x() ^ at.y()) % 256));
        }
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

VellFrozenDesktop patternDesktop(const QVector<Screen> &screens)
{
    QVector<QPixmap> pictures;
    for (const Screen &screen : screens) {
        pictures.append(patternPicture(screen.device, screen.ratio));
    }
    return VellFrozenDesktop(VellDesktopLayout(screens), pictures);
}
} // namespace

// The selection rectangle, the mapping between Qt's logical coordinates and
// device pixels over several monitors, the cut from the frozen desktop, and
// the limited repaint of the overlay, checked without a display.
class tst_CaptureGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectionIsInclusiveWhicheverWayTheDragGoes_data();
    void selectionIsInclusiveWhicheverWayTheDragGoes();
    void pointerPositionsMapToDevicePixels_data();
    void pointerPositionsMapToDevicePixels();
    void cutHoldsEveryDevicePixelUnderTheRectangle_data();
    void cutHoldsEveryDevicePixelUnderTheRectangle();
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

void tst_CaptureGeometry::pointerPositionsMapToDevicePixels_data()
{
    QTest::addColumn<QVector<Screen>>("screens");
    QTest::addColumn<QPointF>("logical");
    QTest::addColumn<QPoint>("device");
    QTest::addColumn<int>("screen");

    QTest::newRow("ratio 1, second monitor")
        << sideBySide(1, 1) << QPointF(2020, 300) << QPoint(2020, 300) << 1;
    QTest::newRow("1;2, first monitor")
        << sideBySide(1, 2) << QPointF(1919, 1079) << QPoint(1919, 1079) << 0;
    QTest::newRow("1;2, second monitor, odd pixel")
        << sideBySide(1, 2) << QPointF(1970.5, 150.5) << QPoint(2021, 301) << 1;
    QTest::newRow("2;1, last pixel of the first monitor")
        << sideBySide(2, 1) << QPointF(959.5, 539.5) << QPoint(1919, 1079) << 0;
    QTest::newRow("2;1, first pixel of the second monitor")
        << sideBySide(2, 1) << QPointF(1920, 0) << QPoint(1920, 0) << 1;
    // Rounding the logical position down first would land one row higher.
    QTest::newRow("1.5;1, a third of a logical pixel")
        << sideBySide(1.5, 1) << QPointF(67 + 1 / 3.0, 67 + 1 / 3.0) << QPoint(101, 101) << 0;
    QTest::newRow("1.5;1, second monitor")
        << sideBySide(1.5, 1) << QPointF(2021, 301) << QPoint(2021, 301) << 1;
}

void tst_CaptureGeometry::pointerPositionsMapToDevicePixels()
{
    QFETCH(QVector<Screen>, screens);
    QFETCH(QPointF, logical);
    QFETCH(QPoint, device);
    QFETCH(int, screen);

    const VellDesktopLayout layout(screens);
    QCOMPARE(layout.toDevice(logical), device);
    QCOMPARE(layout.screenAtDevice(device), screen);
}

void tst_CaptureGeometry::cutHoldsEveryDevicePixelUnderTheRectangle_data()
{
    QTest::addColumn<QVector<Screen>>("screens");
    QTest::addColumn<QRect>("device");
    QTest::addColumn<qreal>("ratio");

    QTest::newRow("inside the second monitor at 2")
        << sideBySide(1, 2) << QRect(2000, 100, 301, 101) << 2.0;
    QTest::newRow("across the boundary, mixed ratios")
        << sideBySide(1, 2) << QRect(1800, 100, 301, 101) << 1.0;
    QTest::newRow("across the boundary, both at 1.5")
        << sideBySide(1.5, 1.5) << QRect(1800, 100, 301, 101) << 1.5;
    QTest::newRow("one pixel") << sideBySide(2, 1) << QRect(1919, 1079, 1, 1) << 2.0;
    QVector<Screen> offset = sideBySide(1, 1);
    offset[1].device = QRect(1920, 300, 1280, 1024);
    offset[1].logical = offset[1].device;
    QTest::newRow("whole desktop, monitors offset vertically")
        << offset << QRect(0, 0, 3200, 1324) << 1.0;
}

void tst_CaptureGeometry::cutHoldsEveryDevicePixelUnderTheRectangle()
{
    QFETCH(QVector<Screen>, screens);
    QFETCH(QRect, device);
    QFETCH(qreal, ratio);

    const VellFrozenDesktop desktop = patternDesktop(screens);
    const QImage cut = desktop.copy(device);
    QCOMPARE(cut.size(), device.size());
    QCOMPARE(cut.devicePixelRatio(), ratio);
    const QPixmap reference = patternPicture(device, 1);
    const QImage expected = reference.toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < cut.height(); ++y) {
        for (int x = 0; x < cut.width(); ++x) {
            const QPoint at = device.topLeft() + QPoint(x, y);
            const bool shown = VellDesktopLayout(screens).screenAtDevice(at) >= 0;
            const QRgb want = shown ? expected.pixel(x, y) : qRgb(0, 0, 0);
            if (cut.pixel(x, y) != want) {
                QFAIL(
                    qPrintable(QStringLiteral("wrong pixel at (%1, %2)").arg(at.x()).arg(at.y())));
            }
        }
    }
}

namespace {
// A monitor right of a 1920-pixel one, so that desktop and monitor
// coordinates differ; its size divides by every ratio tested.
Screen monitorAt(qreal ratio)
{
    const QRect device(1920, 0, 240, 120);
    return {QRect(device.topLeft(), device.size() / ratio), device, ratio};
}

// What a window over the monitor shows after painting `overlay`, painted
// over `image` (a fresh one if null) within `clip` (the whole if null).
QImage render(const Screen &monitor, const VellCaptureOverlay &overlay, QImage image = QImage(),
    const QRegion &clip = QRegion())
{
    if (image.isNull()) {
        image = QImage(monitor.device.size(), QImage::Format_RGB32);
        image.setDevicePixelRatio(monitor.ratio);
        image.fill(Qt::magenta);
    }
    QPainter painter(&image);
    if (!clip.isNull()) {
        painter.setClipRegion(clip);
    }
    overlay.paint(painter, patternPicture(monitor.device, monitor.ratio), monitor.device.topLeft());
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

    // Device pixels of the desktop, relative to the monitor's top left.
    const QRect none;
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        const QByteArray suffix = " @" + QByteArray::number(ratio) + "x";
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
            << ratio << QPoint(0, 0) << none << QPoint(239, 119)
            << QRect(QPoint(0, 0), QPoint(239, 119)) << false;
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

    const Screen monitor = monitorAt(ratio);
    const QRect area = monitor.device;
    const QPoint origin = area.topLeft();
    const auto onDesktop
        = [&origin](const QRect &rect) { return rect.isNull() ? rect : rect.translated(origin); };
    const VellCaptureOverlay before(area, crosshairBefore + origin, onDesktop(selectionBefore));
    const VellCaptureOverlay after(area, crosshairAfter + origin, onDesktop(selectionAfter));

    const QRegion changed = VellCaptureOverlay::changedRegion(before, after);
    const QRegion clip = VellDesktopLayout({monitor}).toLocalLogical(changed, 0);
    const QImage limited = render(monitor, after, render(monitor, before), clip);
    QCOMPARE(limited, render(monitor, after));
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
