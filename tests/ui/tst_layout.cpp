// The main window's layout as its client area changes, in twips.

#include "UiTestSupport.h"
#include "winutil/modResizeLimits.h"
#include "winutil/modScreen.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

using Geometry = QList<double>; // Left, Top, Width, Height in twips
using Table = QMap<QString, Geometry>;
Q_DECLARE_METATYPE(Table)

namespace {

Geometry Of(const QWidget* w) {
    return {modScreen::Left(w), modScreen::Top(w), modScreen::Width(w), modScreen::Height(w)};
}

// Sizes the window so that its client area (below the menu bar) is W x H twips.
void SetClientArea(frm& w, double width, double height) {
    const QSize client(modScreen::PixelsX(width), modScreen::PixelsY(height));
    w.resize(client.width(), client.height() + w.menuBar()->height());
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir;

private slots:
    void initTestCase() {
        frm::SetAppPath(appDir.path());
        QCOMPARE(modScreen::TwipsPerPixelX(), 15); // the tables below are for 96 DPI
    }

    void layout_data() {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("height");
        QTest::addColumn<Table>("expected");
        QTest::newRow("design client area 6675 x 4515")
            << 6675.0 << 4515.0 << Table{{"cmdBrowse", {6240, 120, 315, 315}},
                                         {"lblFolder", {120, 120, 6120, 315}},
                                         {"File", {120, 480, 2535, 3915}},
                                         {"cmdExtract", {2775, 4080, 3780, 315}},
                                         {"cmdSelectAll", {2775, 3645, 3780, 315}},
                                         {"lstFiles", {2760, 480, 3780, 3045}}};
        QTest::newRow("grown by 1500 both ways")
            << 8175.0 << 6015.0 << Table{{"cmdBrowse", {7740, 120, 315, 315}},
                                         {"lblFolder", {120, 120, 7620, 315}},
                                         {"File", {120, 480, 2535, 5415}},
                                         {"cmdExtract", {2775, 5580, 5280, 315}},
                                         {"cmdSelectAll", {2775, 5145, 5280, 315}},
                                         {"lstFiles", {2760, 480, 5280, 4545}}};
    }
    void layout() {
        QFETCH(double, width);
        QFETCH(double, height);
        QFETCH(Table, expected);
        DialogRecorder dialogs;
        frm w;
        w.show();
        // Without a frame (offscreen) the design client area is below the window's minimum
        // size; the limits have tests of their own, here only the layout counts.
        modResizeLimits::RemoveWindowLimits(&w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        SetClientArea(w, width, height);
        QTRY_COMPARE(w.centralWidget()->size(),
                     QSize(modScreen::PixelsX(width), modScreen::PixelsY(height)));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            QCOMPARE(Of(w.findChild<QWidget*>(it.key())), it.value());
    }

    void minimizedKeepsTheLayout() {
        DialogRecorder dialogs;
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const Geometry before = Of(w.cmdExtract);
        w.setWindowState(Qt::WindowMinimized);
        w.resize(w.width() + 200, w.height() + 200);
        QCoreApplication::processEvents();
        QCOMPARE(Of(w.cmdExtract), before);
        // Restoring lays the window out again.
        w.setWindowState(Qt::WindowNoState);
        QTRY_COMPARE(modScreen::Top(w.cmdExtract), w.ScaleHeight() - 435);
    }

    void captionIsNotRefitted() {
        DialogRecorder dialogs;
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString caption = w.lblFolder->text();
        w.resize(w.width() + 300, w.height());
        QCoreApplication::processEvents();
        QCOMPARE(w.lblFolder->text(), caption);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
