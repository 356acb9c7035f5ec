// The main window's layout as its client area changes, in twips.

#include "UiTestSupport.h"
#include "winutil/modResizeLimits.h"
#include "winutil/modScreen.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

using Geometry = QList<double>; // Left, Top, Width, Height in twips
using Table = QMap<QString, Geometry>;
Q_DECLARE_METATYPE(Table)

namespace {

Geometry Of(const QWidget* w) {
    return {modScreen::Left(w), modScreen::Top(w), modScreen::Width(w), modScreen::Height(w)};
}

// Sizes the window so that its client area (between the menu bar and the status line) is W x H
// twips.
void SetClientArea(frm& w, double width, double height) {
    const QSize client(modScreen::PixelsX(width), modScreen::PixelsY(height));
    w.resize(client.width(), client.height() + w.menuBar()->height() + w.statusBar()->height());
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

    // The window's own size limits stay in force throughout.
    void layout_data() {
        QTest::addColumn<QSizeF>("requested"); // the client area asked for; empty: as it opens
        QTest::addColumn<QSizeF>("client");    // the client area the table is for
        QTest::addColumn<Table>("expected");
        const Table design{
            {"cmdBrowse", {6240, 120, 315, 315}},      {"lblFolder", {120, 120, 6120, 315}},
            {"File", {120, 480, 2535, 3915}},          {"cmdExtract", {2775, 4080, 3780, 315}},
            {"cmdSelectAll", {2775, 3645, 3780, 315}}, {"lstFiles", {2760, 480, 3780, 3045}}};
        QTest::newRow("first display") << QSizeF() << QSizeF(6675, 4515) << design;
        QTest::newRow("grown by 1500 both ways") << QSizeF(8175, 6015) << QSizeF(8175, 6015)
                                                 << Table{{"cmdBrowse", {7740, 120, 315, 315}},
                                                          {"lblFolder", {120, 120, 7620, 315}},
                                                          {"File", {120, 480, 2535, 5415}},
                                                          {"cmdExtract", {2775, 5580, 5280, 315}},
                                                          {"cmdSelectAll", {2775, 5145, 5280, 315}},
                                                          {"lstFiles", {2760, 480, 5280, 4545}}};
        // Offscreen the frame is thinner than the limits count on, so the design size is as
        // small as the window goes.
        QTest::newRow("shrunk to nothing: held at the design size")
            << QSizeF(15, 15) << QSizeF(6675, 4515) << design;
    }
    void layout() {
        QFETCH(QSizeF, requested);
        QFETCH(QSizeF, client);
        QFETCH(Table, expected);
        DialogRecorder dialogs;
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(modResizeLimits::IsSubclassed(&w));
        if (!requested.isEmpty())
            SetClientArea(w, requested.width(), requested.height());
        QTRY_COMPARE(w.centralWidget()->size(), QSize(modScreen::PixelsX(client.width()),
                                                      modScreen::PixelsY(client.height())));
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
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
