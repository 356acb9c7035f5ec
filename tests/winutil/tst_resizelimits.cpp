#include "winutil/clsForm.h"
#include "winutil/clsResizeLimits.h"
#include "winutil/modResizeLimits.h"
#include "winutil/modScreen.h"

#include <QScreen>
#include <QTest>

using modResizeLimits::WindowLimits;
using modResizeLimits::WindowList;

namespace {

const WindowLimits* RecordOf(const QWidget* window) {
    const int i = modResizeLimits::FindWindowIndex(window);
    return i < 0 ? nullptr : &WindowList()[static_cast<std::size_t>(i)];
}

QSize FrameSize(const QWidget* window) {
    const QMargins frame = modScreen::Frame(window);
    return {frame.left() + frame.right(), frame.top() + frame.bottom()};
}

QSize ScreenPixels() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

class tst_resizelimits : public QObject {
    Q_OBJECT

private slots:
    // What AddLimits records for the window, by the kind of frm and the units of the values.
    void conversions_data() {
        QTest::addColumn<int>("twipsPerPixel"); // 0: any screen
        QTest::addColumn<QString>("frm");       // "twips form", "pixels form", "widget", "object"
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<bool>("pixels");
        QTest::addColumn<QList<int>>("recorded"); // empty: nothing recorded

        const QList<double> mainWindow{6795, 4920, 0, 0};
        QTest::newRow("main window at 15")
            << 15 << "twips form" << mainWindow << false << QList<int>{453, 328, 0, 0};
        QTest::newRow("main window at 12")
            << 12 << "twips form" << mainWindow << false << QList<int>{566, 410, 0, 0};
        QTest::newRow("no ScaleMode divides though pixels at 15")
            << 15 << "widget" << mainWindow << true << QList<int>{453, 328, 0, 0};
        QTest::newRow("no ScaleMode divides though pixels at 12")
            << 12 << "widget" << mainWindow << true << QList<int>{566, 410, 0, 0};
        QTest::newRow("pixels halves to even")
            << 0 << "twips form" << QList<double>{452.5, 327.5, 800, 600.5} << true
            << QList<int>{452, 328, 800, 600};
        QTest::newRow("form measured in pixels")
            << 0 << "pixels form" << QList<double>{300.4, 200, 0, 0} << false
            << QList<int>{300, 200, 0, 0};
        QTest::newRow("value beyond 32 bits")
            << 0 << "twips form" << QList<double>{3e9, 200, 0, 0} << true << QList<int>{};
        QTest::newRow("object without hWnd")
            << 0 << "object" << mainWindow << false << QList<int>{};
    }
    void conversions() {
        QFETCH(int, twipsPerPixel);
        QFETCH(QString, frm);
        QFETCH(QList<double>, values);
        QFETCH(bool, pixels);
        QFETCH(QList<int>, recorded);
        if (twipsPerPixel != 0 && twipsPerPixel != modScreen::TwipsPerPixelX())
            QSKIP("for a screen of another resolution");

        clsForm form;
        QWidget widget;
        QObject object;
        object.setProperty("ScaleMode", 1);
        QObject* target = &form;
        if (frm == "pixels form")
            form.SetScaleMode(modScreen::vbPixels);
        else if (frm == "widget")
            target = &widget;
        else if (frm == "object")
            target = &object;

        clsResizeLimits limits;
        limits.AddLimits(target, values[0], values[1], values[2], values[3], pixels);
        const WindowLimits* record = RecordOf(qobject_cast<QWidget*>(target));
        if (recorded.isEmpty()) {
            QCOMPARE(WindowList().size(), std::size_t(1));
            return;
        }
        QVERIFY(record);
        QCOMPARE((QList<int>{record->MinX, record->MinY, record->MaxX, record->MaxY}), recorded);
    }

    // The life of the record list: records appended only, cleared and never reused.
    void recordList_data() {
        QTest::addColumn<QStringList>("steps"); // add:<min width>, remove, removeAll
        QTest::addColumn<int>("listSize");
        QTest::addColumn<int>("index"); // the window's record, -1 for none
        QTest::addColumn<bool>("subclassed");
        QTest::addColumn<int>("recordedMinX");
        QTest::newRow("added once") << QStringList{"add:300"} << 2 << 1 << true << 300;
        QTest::newRow("added twice, one record")
            << QStringList{"add:300", "add:350"} << 2 << 1 << true << 350;
        QTest::newRow("removed") << QStringList{"add:300", "remove"} << 2 << -1 << false << 0;
        QTest::newRow("removed and re-added appends")
            << QStringList{"add:300", "remove", "add:350"} << 3 << 2 << true << 350;
        QTest::newRow("all removed keeps the record")
            << QStringList{"add:300", "removeAll"} << 2 << 1 << false << 300;
        QTest::newRow("all removed, re-added: updated, not subclassed")
            << QStringList{"add:300", "removeAll", "add:350"} << 2 << 1 << false << 350;
        QTest::newRow("never added, removed") << QStringList{"remove"} << 1 << -1 << false << 0;
    }
    void recordList() {
        QFETCH(QStringList, steps);
        QFETCH(int, listSize);
        QFETCH(int, index);
        QFETCH(bool, subclassed);
        QFETCH(int, recordedMinX);

        clsForm window;
        window.setMinimumSize(10, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize frame = FrameSize(&window);
        clsResizeLimits limits;
        for (const QString& step : steps) {
            if (step.startsWith("add:"))
                limits.AddLimits(&window, step.mid(4).toInt(), 200, 0, 0, true);
            else if (step == "remove")
                QVERIFY(limits.RemoveFormLimits(&window));
            else
                limits.RemoveAllLimits();
        }

        QCOMPARE(int(WindowList().size()), listSize);
        QCOMPARE(modResizeLimits::FindWindowIndex(&window), index);
        QCOMPARE(modResizeLimits::IsSubclassed(&window), subclassed);
        for (std::size_t i = 1; i < WindowList().size(); ++i) {
            if (int(i) != index) // every other record is cleared
                QVERIFY(WindowList()[i].hWnd.isNull() && WindowList()[i].PrevWndProc.isNull());
        }
        if (index >= 0)
            QCOMPARE(RecordOf(&window)->MinX, recordedMinX);
        // Only a subclassed window is held to its limits; otherwise it has what it had before.
        const QSize minimum = subclassed ? QSize(recordedMinX, 200) - frame : QSize(10, 20);
        QCOMPARE(window.minimumSize(), minimum);
    }

    // A window destroyed while limited: its record reads as cleared and nothing touches it later.
    void windowDestroyedFirst() {
        clsResizeLimits limits;
        auto* window = new clsForm;
        limits.AddLimits(window, 300, 200, 0, 0, true);
        delete window;
        QVERIFY(WindowList()[1].hWnd.isNull() && WindowList()[1].PrevWndProc.isNull());
        limits.RemoveAllLimits();
        clsForm other; // may take the same address: it is a new window, not the old record
        limits.AddLimits(&other, 350, 200, 0, 0, true);
        QCOMPARE(modResizeLimits::FindWindowIndex(&other), 2);
        QVERIFY(modResizeLimits::IsSubclassed(&other));
    }

    // The limits hold the window itself, and go when they are removed.
    void enforced_data() {
        QTest::addColumn<QList<int>>("limits"); // pixels
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::newRow("minimum, screen maximum")
            << QList<int>{453, 328, 0, 0} << QSize(453, 328) << ScreenPixels();
        QTest::newRow("explicit maximum")
            << QList<int>{300, 200, 640, 480} << QSize(300, 200) << QSize(640, 480);
        QTest::newRow("minimum 0 is applied")
            << QList<int>{0, 0, 0, 0} << QSize(0, 0) << ScreenPixels();
    }
    void enforced() {
        QFETCH(QList<int>, limits);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        clsForm window;
        window.setMinimumSize(50, 60);
        window.setMaximumSize(2000, 2000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize frame = FrameSize(&window);
        {
            clsResizeLimits resizeLimits;
            resizeLimits.AddLimits(&window, limits[0], limits[1], limits[2], limits[3], true);
            window.resize(1, 1);
            QCOMPARE(window.frameGeometry().size(), minimum.expandedTo(frame + QSize(1, 1)));
            window.resize(5000, 5000);
            QCOMPARE(window.frameGeometry().size(), maximum);
        } // the instance ends: the window has its own limits again
        QCOMPARE(window.minimumSize(), QSize(50, 60));
        QCOMPARE(window.maximumSize(), QSize(2000, 2000));
    }
};

QTEST_MAIN(tst_resizelimits)
#include "tst_resizelimits.moc"
