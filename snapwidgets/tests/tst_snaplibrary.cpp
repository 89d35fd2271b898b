#include "VellGrabWindow.h"

#include <QFile>
#include <QImage>
#include <QResource>
#include <QtEndian>
#include <QtTest>

// What the library brings without a display: its resource collection, loaded
// with the library, and a window grab that degrades to nothing off X11.
class tst_SnapLibrary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowPicturesAreFourBitBitmaps_data();
    void windowPicturesAreFourBitBitmaps();
    void emptyWindowPictureIsStoredCompressed();
    void cursorIsTheTargetOnATransparentKeyColour();
    void grabWindowWithoutX11GivesANullPixmap();
};

void tst_SnapLibrary::windowPicturesAreFourBitBitmaps_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("normal") << ":/res/bg_norm.bmp";
    QTest::newRow("empty") << ":/res/bg_empty.bmp";
}

void tst_SnapLibrary::windowPicturesAreFourBitBitmaps()
{
    QFETCH(QString, path);

    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("BM"));
    QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 28), quint16(4)); // bits per pixel
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 46), quint32(16)); // palette size

    const QImage image = QImage::fromData(bytes);
    QCOMPARE(image.size(), QSize(31, 28));
    QCOMPARE(image.pixel(0, 0), qRgb(128, 128, 128)); // the grey frame
    QCOMPARE(image.pixel(3, 20), qRgb(255, 255, 255)); // white client area
}

void tst_SnapLibrary::emptyWindowPictureIsStoredCompressed()
{
    QCOMPARE(QResource(QStringLiteral(":/res/bg_norm.bmp")).compressionAlgorithm(),
        QResource::NoCompression);
    QCOMPARE(QResource(QStringLiteral(":/res/bg_empty.bmp")).compressionAlgorithm(),
        QResource::ZlibCompression);
    // The two differ only by the target in the client area.
    const QImage normal(QStringLiteral(":/res/bg_norm.bmp"));
    const QImage empty(QStringLiteral(":/res/bg_empty.bmp"));
    QCOMPARE(normal.copy(0, 0, 31, 7), empty.copy(0, 0, 31, 7));
    QVERIFY(normal != empty);
}

void tst_SnapLibrary::cursorIsTheTargetOnATransparentKeyColour()
{
    QFile file(QStringLiteral(":/res/cursor.png"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.at(24), char(8)); // bit depth
    QCOMPARE(bytes.at(25), char(2)); // RGB, no alpha channel
    QVERIFY(bytes.contains(QByteArray("tRNS\0\0\0\x80\0\x80", 10))); // key colour (0, 128, 128)

    const QImage cursor = QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(cursor.size(), QSize(32, 32));
    QCOMPARE(cursor.pixel(9, 9), qRgb(0, 0, 0)); // the hot spot is the target's centre
    QRect drawn;
    for (int y = 0; y < cursor.height(); ++y) {
        for (int x = 0; x < cursor.width(); ++x) {
            if (qAlpha(cursor.pixel(x, y)) != 0) {
                drawn |= QRect(x, y, 1, 1);
            }
        }
    }
    QCOMPARE(drawn, QRect(0, 0, 19, 19));
}

void tst_SnapLibrary::grabWindowWithoutX11GivesANullPixmap()
{
    QVERIFY(grabWindow(QPoint(10, 10)).isNull());
}

QTEST_MAIN(tst_SnapLibrary)
#include "tst_snaplibrary.moc"
