#include "VellCaptureWidget.h"
#include "XdoPointer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {
// A frameless window that covers the screen with a picture in which every
// pixel differs from its neighbours and none is black, shown 1:1 in device pixels.
class KnownPictureWindow : public QWidget
{
public:
    KnownPictureWindow()
        : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        QScreen *screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen->devicePixelRatio();
        picture = QImage(screen->geometry().size() * ratio, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                picture.setPixel(
                    x, y, qRgb(40 + x % 200, 40 + y % 200, 40 + (x / 200 + y / 200) * 9));
            }
        }
        picture.setDevicePixelRatio(ratio);
        setGeometry(screen->geometry());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QImage picture;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, picture);
    }
};

QImage plainRgb(const QImage &image)
{
    QImage converted = image.convertToFormat(QImage::Format_RGB32);
    converted.setDevicePixelRatio(1);
    return converted;
}

QImage grabScreen()
{
    return plainRgb(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
}

int blackPixelsInRow(const QImage &image, int y)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        count += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    }
    return count;
}
} // namespace

// The capture widget on a real X server, driven with the real pointer. Under
// QT_SCALE_FACTOR=2 the same cases check the device-pixel mapping.
class tst_CaptureWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void dragCutsThatPartOfTheFrozenScreen_data();
    void dragCutsThatPartOfTheFrozenScreen();
    void cancelledCaptureGivesNoRegionAndCloses_data();
    void cancelledCaptureGivesNoRegionAndCloses();
    void otherKeysDoNothing();
    void crosshairFollowsThePointerWithoutTrails();
    void secondWidgetClearsTheRegion();

private:
    std::unique_ptr<VellCaptureWidget> startCapture();
    // X pointer position of a point given in device pixels of a logical grid.
    QPoint device(int x, int y) const { return QPoint(x, y) * ratio; }

    std::unique_ptr<KnownPictureWindow> pictureWindow;
    int ratio = 1;
};

void tst_CaptureWidget::initTestCase()
{
    ratio = qRound(QGuiApplication::primaryScreen()->devicePixelRatio());
    pictureWindow = std::make_unique<KnownPictureWindow>();
    pictureWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(pictureWindow.get()));
}

void tst_CaptureWidget::cleanupTestCase()
{
    pictureWindow.reset();
}

std::unique_ptr<VellCaptureWidget> tst_CaptureWidget::startCapture()
{
    // The widget freezes the screen as it is: wait until the known picture
    // is back on it, repainted after the previous capture widget went away.
    const QImage picture = plainRgb(pictureWindow->picture);
    if (!QTest::qWaitFor([&picture] { return grabScreen() == picture; })) {
        return nullptr;
    }
    auto widget = std::make_unique<VellCaptureWidget>();
    if (widget->isVisible()) {
        return nullptr; // shown only after its start-up delay
    }
    if (!QTest::qWaitFor([&widget] { return widget->isVisible(); })
        || !QTest::qWaitForWindowExposed(widget.get())) {
        return nullptr;
    }
    if (widget->geometry() != QGuiApplication::primaryScreen()->geometry()) {
        return nullptr;
    }
    QTest::qWait(100);
    return widget;
}

void tst_CaptureWidget::dragCutsThatPartOfTheFrozenScreen_data()
{
    // Logical coordinates; the pointer moves through `via` between press and release.
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("via");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("expected");
    // Released with the middle button, pressed at `to` in the middle of the drag.
    QTest::addColumn<bool>("middleButtonAtTheEnd");

    const QRect box(QPoint(100, 80), QPoint(260, 190));
    QTest::newRow("upper left to lower right")
        << QPoint(100, 80) << QPoint(180, 130) << QPoint(260, 190) << box << false;
    QTest::newRow("lower right to upper left")
        << QPoint(260, 190) << QPoint(180, 130) << QPoint(100, 80) << box << false;
    QTest::newRow("lower left to upper right")
        << QPoint(100, 190) << QPoint(180, 130) << QPoint(260, 80) << box << false;
    QTest::newRow("zero width after a move")
        << QPoint(150, 50) << QPoint(190, 100) << QPoint(150, 140)
        << QRect(QPoint(150, 50), QPoint(150, 140)) << false;
    QTest::newRow("one pixel to the left")
        << QPoint(301, 50) << QPoint(330, 70) << QPoint(300, 50) << QRect(300, 50, 2, 1) << false;
    // A press moves only the top-left corner; the far corner stays.
    QTest::newRow("second button at the upper left keeps the far corner")
        << QPoint(260, 190) << QPoint(180, 130) << QPoint(100, 80) << box << true;
}

void tst_CaptureWidget::dragCutsThatPartOfTheFrozenScreen()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, via);
    QFETCH(QPoint, to);
    QFETCH(QRect, expected);
    QFETCH(bool, middleButtonAtTheEnd);

    auto widget = startCapture();
    QVERIFY(widget);
    QVERIFY(XdoPointer::moveTo(device(from.x(), from.y())));
    QVERIFY(XdoPointer::press(1));
    QVERIFY(XdoPointer::moveTo(device(via.x(), via.y())));
    QVERIFY(XdoPointer::moveTo(device(to.x(), to.y())));
    if (middleButtonAtTheEnd) {
        QVERIFY(XdoPointer::press(2));
    }
    QVERIFY(widget->isVisible());
    QVERIFY(XdoPointer::release(middleButtonAtTheEnd ? 2 : 1));
    QTRY_VERIFY(!widget->isVisible());
    if (middleButtonAtTheEnd) {
        QVERIFY(XdoPointer::release(1));
    }
    QCOMPARE(QWidget::mouseGrabber(), nullptr);

    std::unique_ptr<QImage> region(VellCaptureWidget::getSelectedRegion());
    QVERIFY(region);
    // The pointer moved in device pixels: the region runs from the pixel
    // pressed to the pixel released, both included.
    const QRect devicePixels(expected.topLeft() * ratio, expected.bottomRight() * ratio);
    QCOMPARE(region->size(), devicePixels.size());
    QCOMPARE(region->devicePixelRatio(), qreal(ratio));
    QCOMPARE(plainRgb(*region), plainRgb(pictureWindow->picture.copy(devicePixels)));
}

void tst_CaptureWidget::cancelledCaptureGivesNoRegionAndCloses_data()
{
    QTest::addColumn<XdoPointer::Cancel>("how");
    QTest::newRow("click without a move") << XdoPointer::Cancel::Click;
    QTest::newRow("Escape") << XdoPointer::Cancel::Escape;
    QTest::newRow("right button in the middle of a drag")
        << XdoPointer::Cancel::RightButtonWhileDragging;
}

void tst_CaptureWidget::cancelledCaptureGivesNoRegionAndCloses()
{
    QFETCH(XdoPointer::Cancel, how);

    auto widget = startCapture();
    QVERIFY(widget);
    QVERIFY(XdoPointer::cancelCapture(
        how, device(400, 300), device(500, 380), [&] { return !widget->isVisible(); }));
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

void tst_CaptureWidget::otherKeysDoNothing()
{
    auto widget = startCapture();
    QVERIFY(widget);
    for (const char *key : {"a", "Return", "space", "q", "F4"}) {
        QVERIFY(XdoPointer::key(QString::fromLatin1(key)));
    }
    QVERIFY(widget->isVisible());
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
    QVERIFY(XdoPointer::key(QStringLiteral("Escape")));
    QTRY_VERIFY(!widget->isVisible());
}

void tst_CaptureWidget::crosshairFollowsThePointerWithoutTrails()
{
    auto widget = startCapture();
    QVERIFY(widget);
    const QPoint first = device(200, 120);
    const QPoint second = device(420, 330);
    QVERIFY(XdoPointer::moveTo(first));
    QVERIFY(XdoPointer::moveTo(second));
    // The move is painted once the application has taken in its event.
    QImage screen;
    const auto dashedRow
        = [&screen](int y) { return blackPixelsInRow(screen, y) > screen.width() / 4; };
    QTRY_VERIFY((screen = grabScreen(), dashedRow(second.y())));
    QVERIFY(widget->isVisible());

    // A dashed line runs through the pointer's row; the row it left is clean
    // again, but for where the new vertical line crosses it. The pen is
    // cosmetic: one device pixel thick at any device pixel ratio.
    int dashedRows = 0;
    for (int y = second.y() - 2 * ratio; y <= second.y() + 2 * ratio; ++y) {
        dashedRows += dashedRow(y) ? 1 : 0;
    }
    QCOMPARE(dashedRows, 1);
    QVERIFY2(blackPixelsInRow(screen, first.y()) <= ratio,
        qPrintable(QString::number(blackPixelsInRow(screen, first.y()))));
    QVERIFY(XdoPointer::key(QStringLiteral("Escape")));
    QTRY_VERIFY(!widget->isVisible());
}

void tst_CaptureWidget::secondWidgetClearsTheRegion()
{
    auto first = startCapture();
    QVERIFY(first);
    QVERIFY(XdoPointer::moveTo(device(10, 10)));
    QVERIFY(XdoPointer::press(1));
    QVERIFY(XdoPointer::moveTo(device(30, 30)));
    QVERIFY(XdoPointer::release(1));
    QTRY_VERIFY(!first->isVisible());
    // The host has not taken the image yet; it stays its to delete.
    std::unique_ptr<QImage> untaken(VellCaptureWidget::getSelectedRegion());
    QVERIFY(untaken);

    VellCaptureWidget second;
    QCOMPARE(VellCaptureWidget::getSelectedRegion(), nullptr);
    QCOMPARE(untaken->size(), QSize(20, 20) * ratio + QSize(1, 1));
}

QTEST_MAIN(tst_CaptureWidget)
#include "tst_capturewidget.moc"
