#include "SolidWindow.h"
#include "VellGrabWindow.h"
#include "XdoPointer.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QtTest>

// grabWindow on a real X server: the window under the pointer, whatever the
// point it is given, and the server released afterwards.
class tst_GrabWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void grabsTheWholeWindowUnderThePointer_data();
    void grabsTheWholeWindowUnderThePointer();
    void grabsTheWholeScreenOverTheBareRoot();
    void leavesTheServerFreeForOtherClients();

private:
    const QRect windowGeometry {200, 150, 300, 200};
    SolidWindow window {windowGeometry, QColor(200, 30, 90)};
};

void tst_GrabWindow::initTestCase()
{
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(100);
}

void tst_GrabWindow::grabsTheWholeWindowUnderThePointer_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("given");

    QTest::newRow("pointer in the middle, point there") << QPoint(350, 250) << QPoint(350, 250);
    QTest::newRow("pointer near a corner, point elsewhere") << QPoint(201, 151) << QPoint(0, 0);
    QTest::newRow("point off the screen") << QPoint(499, 349) << QPoint(-5000, 99999);
}

void tst_GrabWindow::grabsTheWholeWindowUnderThePointer()
{
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, given);

    QVERIFY(XdoPointer::moveTo(pointer));
    const QPixmap picture = grabWindow(given);
    QCOMPARE(picture.size(), windowGeometry.size());
    QVERIFY(window.isPictureOf(picture.toImage()));
}

void tst_GrabWindow::grabsTheWholeScreenOverTheBareRoot()
{
    QVERIFY(XdoPointer::moveTo(QPoint(900, 600)));
    const QPixmap picture = grabWindow(QPoint(350, 250));
    QCOMPARE(picture.size(), QGuiApplication::primaryScreen()->size());
    QVERIFY(!window.isPictureOf(picture.toImage()));
}

void tst_GrabWindow::leavesTheServerFreeForOtherClients()
{
    QVERIFY(XdoPointer::moveTo(QPoint(350, 250)));
    QVERIFY(!grabWindow(QPoint()).isNull());
    // Another client would block for as long as the server stays grabbed.
    QProcess other;
    other.start(QStringLiteral("xdotool"), {QStringLiteral("getmouselocation")});
    QVERIFY(other.waitForFinished(5000));
    QCOMPARE(other.exitCode(), 0);
}

QTEST_MAIN(tst_GrabWindow)
#include "tst_grabwindow.moc"
