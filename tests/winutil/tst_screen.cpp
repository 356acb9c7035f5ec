#include "winutil/clsForm.h"
#include "winutil/modScreen.h"

#include <QMenuBar>
#include <QTest>

#include <cmath>
#include <limits>

class tst_screen : public QObject {
    Q_OBJECT

private slots:
    void intDiv_data() {
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<qint64>("quotient");
        QTest::newRow("label width at 15") << 6120.0 << 15.0 << qint64(408);
        QTest::newRow("label width at 12 truncates") << 3975.0 << 12.0 << qint64(331);
        QTest::newRow("dividend half rounds to even") << 30.5 << 15.0 << qint64(2);
        QTest::newRow("divisor half rounds to even") << 10.0 << 2.5 << qint64(5);
        QTest::newRow("negative truncates toward zero") << -29.0 << 15.0 << qint64(-1);
        QTest::newRow("divisor rounding to zero") << 10.0 << 0.4 << qint64(0);
    }
    void intDiv() {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(qint64, quotient);
        QCOMPARE(modScreen::IntDiv(a, b), quotient);
    }

    void roundToInt32_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<int>("rounded");
        QTest::newRow("453.5 to even 454") << 453.5 << true << 454;
        QTest::newRow("-0.5 to 0") << -0.5 << true << 0;
        QTest::newRow("largest 32-bit") << 2147483647.4 << true << 2147483647;
        QTest::newRow("beyond 32 bits") << 2147483647.5 << false << 0;
        QTest::newRow("below 32 bits") << -2147483649.0 << false << 0;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << false << 0;
    }
    void roundToInt32() {
        QFETCH(double, value);
        QFETCH(bool, converts);
        QFETCH(int, rounded);
        const std::optional<std::int32_t> result = modScreen::RoundToInt32(value);
        QCOMPARE(result.has_value(), converts);
        if (converts)
            QCOMPARE(*result, rounded);
    }

    void move_data() {
        QTest::addColumn<int>("given"); // how many of Top, Width, Height are given
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("left only") << 0 << QRect(20, 2, 3, 4);
        QTest::newRow("left and top") << 1 << QRect(20, 30, 3, 4);
        QTest::newRow("height omitted") << 2 << QRect(20, 30, 40, 4);
        QTest::newRow("all four") << 3 << QRect(20, 30, 40, 50);
    }
    void move() {
        QFETCH(int, given);
        QFETCH(QRect, pixels);
        QWidget parent;
        QWidget control(&parent);
        control.setGeometry(1, 2, 3, 4);
        const double tx = modScreen::TwipsPerPixelX();
        const double ty = modScreen::TwipsPerPixelY();
        switch (given) {
        case 0:
            modScreen::Move(&control, 20 * tx);
            break;
        case 1:
            modScreen::Move(&control, 20 * tx, 30 * ty);
            break;
        case 2:
            modScreen::Move(&control, 20 * tx, 30 * ty, 40 * tx);
            break;
        default:
            modScreen::Move(&control, 20 * tx, 30 * ty, 40 * tx, 50 * ty);
        }
        QCOMPARE(control.geometry(), pixels);
        QCOMPARE(modScreen::Width(&control), pixels.width() * tx);
    }

    // The client area below the menu bar, in the form's scale.
    void formScale_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("perPixel"); // scale units per pixel horizontally
        QTest::newRow("twips") << int(modScreen::vbTwips) << double(modScreen::TwipsPerPixelX());
        QTest::newRow("pixels") << int(modScreen::vbPixels) << 1.0;
    }
    void formScale() {
        QFETCH(int, mode);
        QFETCH(double, perPixel);
        clsForm form;
        form.setMenuBar(new QMenuBar);
        form.menuBar()->addMenu("&File");
        form.setCentralWidget(new QWidget);
        form.SetScaleMode(mode);
        form.resize(400, 300);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QWidget* client = form.centralWidget();
        QCOMPARE(form.ScaleWidth(), client->width() * perPixel);
        QVERIFY(form.ScaleHeight() < modScreen::ScaleY(300, modScreen::vbPixels, form.ScaleMode()));
        QCOMPARE(form.ScaleX(form.ScaleWidth(), form.ScaleMode(), modScreen::vbPixels),
                 double(client->width()));
    }
};

QTEST_MAIN(tst_screen)
#include "tst_screen.moc"
