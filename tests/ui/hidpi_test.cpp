// The window on a screen with twice the pixel density (run with QT_SCALE_FACTOR=2):
// twice the size, pictures doubled into exact 2 x 2 blocks, text drawn afresh.
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QSet>

#include "tests/ui/ui_fixture.h"

namespace {

// What `widget` shows on a plain 1x device.
QImage OneX(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    widget->render(&image);
    return image;
}

QImage TwoX(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Every pixel of `oneX` as a 2 x 2 block, nothing blended.
QImage Doubled(const QImage& oneX) {
    QImage doubled = oneX.scaled(oneX.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    doubled.setDevicePixelRatio(1);
    return doubled;
}

int Colours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

QImage Plain(QImage image) {
    image.setDevicePixelRatio(1);
    return image;
}

}  // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        ksynth::BuildTables();
        QVERIFY2(qApp->devicePixelRatio() == 2, "run with QT_SCALE_FACTOR=2");
    }
    void init() { NewForm()->show(); }
    void cleanup() { DeleteForm(); }

    void windowIsTwiceTheSizeInPixels() {
        QCOMPARE(Form1->size(), QSize(671, 575));
        const QPixmap window = Form1->grab();
        QCOMPARE(window.devicePixelRatio(), 2.0);
        QCOMPARE(window.size(), QSize(1342, 1150));
    }

    void previewIsTheOneXPictureInTwoByTwoBlocks() {
        Form1->PageControl2->SetActivePage(Form1->TInst);
        const QImage oneX = OneX(Form1->Image1);
        QCOMPARE(oneX.size(), QSize(255, 255));
        // The 1x view is the preview's own bitmap, pixel for pixel.
        QCOMPARE(oneX, Form1->Image1->Picture.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(Plain(TwoX(Form1->Image1)), Doubled(oneX));
    }

    void logoIsTheOneXPictureInTwoByTwoBlocks() {
        const QImage oneX = OneX(Form1->Image2);
        QCOMPARE(Plain(TwoX(Form1->Image2)), Doubled(oneX));
    }

    // Text is laid out again at the higher density, not a 1x rendering blown up.
    void textIsDrawnAtTwiceTheResolution() {
        Form1->PageControl2->SetActivePage(Form1->TInst);
        auto* caption = Control<QLabel>("Label49");
        QVERIFY(caption != nullptr);
        const QImage oneX = OneX(caption);
        const QImage twoX = Plain(TwoX(caption));
        QCOMPARE(twoX.size(), oneX.size() * 2);
        QVERIFY(Colours(oneX) > 2);   // text, not the background alone
        QVERIFY(twoX != Doubled(oneX));
    }
};

QTEST_MAIN(HiDpiTest)
#include "hidpi_test.moc"
