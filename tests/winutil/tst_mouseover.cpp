#include "winutil/modMouseOver.h"
#include "winutil/modScreen.h"
#include "winutil/modSetCursorToHand.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

// Wires link boxes' mouse moves to the hover protocol, as a window with link boxes does.
class LinkBoxes : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove) {
            const QPointF at = static_cast<QMouseEvent*>(event)->position();
            modMouseOver::LinkBoxMouseMove(static_cast<QWidget*>(watched),
                                           modScreen::TwipsX(at.x()), modScreen::TwipsY(at.y()));
        }
        return false;
    }
};

class tst_mouseover : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Start every test without a capture.
        if (modMouseOver::MouseCaptured())
            modMouseOver::HasMouseLeft(nullptr, -1, -1);
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
    }

    // The leaving test: inclusive bounds, measured by ScaleWidth, or by Width when there is none.
    void hasMouseLeft_data() {
        QTest::addColumn<QString>("control"); // "text box", "picture", "picture of width 0"
        QTest::addColumn<bool>("captured");
        QTest::addColumn<QPointF>("at");     // in widths and heights of the control
        QTest::addColumn<QPointF>("offset"); // plus twips
        QTest::addColumn<bool>("left");
        QTest::newRow("not captured, far outside")
            << "text box" << false << QPointF(-5, -5) << QPointF() << false;
        QTest::newRow("origin") << "text box" << true << QPointF(0, 0) << QPointF() << false;
        QTest::newRow("corner (W, H) is inside")
            << "text box" << true << QPointF(1, 1) << QPointF() << false;
        QTest::newRow("one right of W")
            << "text box" << true << QPointF(1, 1) << QPointF(1, 0) << true;
        QTest::newRow("one left of 0")
            << "text box" << true << QPointF(0, 0) << QPointF(-1, 0) << true;
        QTest::newRow("one below H")
            << "text box" << true << QPointF(0, 1) << QPointF(0, 1) << true;
        QTest::newRow("by ScaleWidth, not Width")
            << "picture" << true << QPointF(1, 0) << QPointF(1, 0) << true;
        QTest::newRow("ScaleWidth 0 falls back to Width")
            << "picture of width 0" << true << QPointF(1, 1) << QPointF() << false;
    }
    void hasMouseLeft() {
        QFETCH(QString, control);
        QFETCH(bool, captured);
        QFETCH(QPointF, at);
        QFETCH(QPointF, offset);
        QFETCH(bool, left);
        QWidget window;
        QLineEdit box(&window);
        box.setGeometry(10, 10, 100, 20);
        double W = modScreen::Width(&box);
        double H = modScreen::Height(&box);
        if (control == "picture") {
            box.setProperty("ScaleWidth", W / 3);
            box.setProperty("ScaleHeight", H / 3);
            W /= 3;
            H /= 3;
        } else if (control == "picture of width 0") {
            box.setProperty("ScaleWidth", 0);
            box.setProperty("ScaleHeight", H / 3);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (captured)
            modMouseOver::CaptureMouse(&box);

        QCOMPARE(modMouseOver::HasMouseLeft(&box, at.x() * W + offset.x(), at.y() * H + offset.y()),
                 left);
        const bool stillCaptured = captured && !left;
        QCOMPARE(modMouseOver::MouseCaptured(), stillCaptured);
        QCOMPARE(QWidget::mouseGrabber(), stillCaptured ? &box : nullptr);
    }

    void releaseOnlyWhenCaptured() {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.grabMouse(); // a capture that no link box took
        modMouseOver::ReleaseMouseCapture();
        QCOMPARE(QWidget::mouseGrabber(), &window);
        window.releaseMouse();
        modMouseOver::CaptureMouse(&window);
        modMouseOver::ReleaseMouseCapture();
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
    }

    // The hover protocol with mouse moves over a window with two link boxes, one below the other.
    void hover_data() {
        QTest::addColumn<QList<QPoint>>("moves"); // in the window
        QTest::addColumn<QString>("hovered");     // the box holding the capture, "" for none
        QTest::addColumn<bool>("windowCursorReset");
        const QPoint onFirst(50, 20), onSecond(50, 45), offBoth(250, 100);
        QTest::newRow("onto a box") << QList<QPoint>{onFirst} << "first" << false;
        QTest::newRow("onto and off a box") << QList<QPoint>{onFirst, offBoth} << "" << true;
        QTest::newRow("right edge counts as inside")
            << QList<QPoint>{onFirst, QPoint(110, 20)} << "first" << false;
        QTest::newRow("across to the other box: the first move ends the hover")
            << QList<QPoint>{onFirst, onSecond} << "" << true;
        QTest::newRow("across to the other box: the next move starts it")
            << QList<QPoint>{onFirst, onSecond, onSecond + QPoint(1, 0)} << "second" << true;
    }
    void hover() {
        QFETCH(QList<QPoint>, moves);
        QFETCH(QString, hovered);
        QFETCH(bool, windowCursorReset);
        QWidget window;
        window.resize(300, 200);
        window.setCursor(Qt::CrossCursor);
        QLineEdit first(&window);
        QLineEdit second(&window);
        first.setObjectName("first");
        second.setObjectName("second");
        first.setGeometry(10, 10, 100, 20);
        second.setGeometry(10, 32, 100, 20);
        LinkBoxes links;
        for (QLineEdit* box : {&first, &second}) {
            box->setMouseTracking(true);
            box->installEventFilter(&links);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // Qt drops a move to where the pointer already is, which the last row may have left it.
        QTest::mouseMove(&window, QPoint(5, 190));
        for (const QPoint& at : moves)
            QTest::mouseMove(&window, at);

        QWidget* grabber = QWidget::mouseGrabber();
        QCOMPARE(grabber ? grabber->objectName() : QString(), hovered);
        QCOMPARE(modMouseOver::MouseCaptured(), !hovered.isEmpty());
        QCOMPARE(window.cursor().shape() == Qt::ArrowCursor, windowCursorReset);
        if (grabber)
            QCOMPARE(grabber->cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(tst_mouseover)
#include "tst_mouseover.moc"
