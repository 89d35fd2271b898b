#include "SolidWindow.h"
#include "VellSelectionWidget.h"
#include "XdoPointer.h"

#include <QImage>
#include <QtTest>

#include <memory>

namespace {
// The top-left part of a widget's picture, where it draws its pixmap.
QImage drawnPicture(QWidget &widget, const QSize &size)
{
    return widget.grab()
        .toImage()
        .copy(QRect(QPoint(), size))
        .convertToFormat(QImage::Format_RGB32);
}

// Shows `picker` as a window of its own, drags its target from inside it to
// `releaseAt` and returns the picture it takes, or null.
QImage *pickAsOwnWindow(VellSelectionWidget &picker, const QPoint &releaseAt)
{
    picker.setGeometry(60, 60, 100, 100);
    picker.show();
    if (!QTest::qWaitForWindowExposed(&picker) || !XdoPointer::moveTo(QPoint(80, 80))
        || !XdoPointer::press(1) || !XdoPointer::moveTo(releaseAt) || !XdoPointer::release(1)) {
        return nullptr;
    }
    const bool taken
        = QTest::qWaitFor([] { return VellSelectionWidget::getSelectedRegion() != nullptr; });
    return taken ? VellSelectionWidget::getSelectedRegion() : nullptr;
}

QImage resourceImage(const char *path)
{
    return QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32);
}
} // namespace

// The window picker on a real X server, driven with the real pointer.
class tst_SelectionWidget : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void releaseCapturesTheWindowUnderThePointerAndClosesTheDialog_data();
    void releaseCapturesTheWindowUnderThePointerAndClosesTheDialog();
    void withoutNativeParentTheWidgetStaysOpen();
    void newWidgetClearsTheRegion();

private:
    SolidWindow target {QRect(500, 300, 300, 200), QColor(20, 160, 220)};
};

void tst_SelectionWidget::initTestCase()
{
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));
}

void tst_SelectionWidget::releaseCapturesTheWindowUnderThePointerAndClosesTheDialog_data()
{
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<bool>("capturesTarget");

    QTest::newRow("over another window") << QPoint(650, 400) << true;
    // The picture is taken before the dialog closes.
    QTest::newRow("without a move: the host dialog itself") << QPoint(100, 100) << false;
}

void tst_SelectionWidget::releaseCapturesTheWindowUnderThePointerAndClosesTheDialog()
{
    QFETCH(QPoint, releaseAt);
    QFETCH(bool, capturesTarget);

    SolidWindow dialog(QRect(50, 50, 200, 150), QColor(250, 240, 10));
    auto *picker = new VellSelectionWidget(&dialog);
    picker->setGeometry(30, 30, 100, 100);
    QCOMPARE(VellSelectionWidget::getSelectedRegion(), nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const QSize pictureSize(31, 28);
    QCOMPARE(drawnPicture(*picker, pictureSize), resourceImage(":/res/bg_norm.bmp"));
    QVERIFY(XdoPointer::moveTo(QPoint(100, 100)));
    QVERIFY(XdoPointer::press(1));
    QTRY_COMPARE(drawnPicture(*picker, pictureSize), resourceImage(":/res/bg_empty.bmp"));
    QCOMPARE(QWidget::mouseGrabber(), picker);

    QVERIFY(XdoPointer::moveTo(releaseAt));
    QVERIFY(XdoPointer::release(1));
    QTRY_VERIFY(!dialog.isVisible());
    QCOMPARE(QWidget::mouseGrabber(), nullptr);

    std::unique_ptr<QImage> region(VellSelectionWidget::getSelectedRegion());
    QVERIFY(region);
    if (capturesTarget) {
        QCOMPARE(region->size(), target.size());
        QVERIFY(target.isPictureOf(*region));
    } else {
        QCOMPARE(region->size(), dialog.size());
        QCOMPARE(region->pixel(5, 5), QColor(250, 240, 10).rgb());
    }
}

void tst_SelectionWidget::withoutNativeParentTheWidgetStaysOpen()
{
    VellSelectionWidget picker;
    std::unique_ptr<QImage> region(pickAsOwnWindow(picker, QPoint(700, 450)));
    QVERIFY(region);
    QVERIFY(target.isPictureOf(*region));
    QTest::qWait(100);
    QVERIFY(picker.isVisible());
}

void tst_SelectionWidget::newWidgetClearsTheRegion()
{
    VellSelectionWidget picker;
    // Not yet taken by the host: it stays the host's to delete.
    std::unique_ptr<QImage> untaken(pickAsOwnWindow(picker, QPoint(80, 80)));
    QVERIFY(untaken);

    VellSelectionWidget next;
    QCOMPARE(VellSelectionWidget::getSelectedRegion(), nullptr);
    QCOMPARE(untaken->size(), picker.size());
}

QTEST_MAIN(tst_SelectionWidget)
#include "tst_selectionwidget.moc"
