// Looking inside and taking out: the entry list's context menu, the viewer, Open, dragging
// entries out, the question before replacing files, and type-ahead.

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "ui/main/EntryMenu.h"

#include <QAction>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using testfiles::Record;

class TestView : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir, dataDir;
    std::unique_ptr<DialogRecorder> dialogs;

    // The window with the archive of that name listed.
    std::unique_ptr<frm> open(const QString& archive) {
        auto window = std::make_unique<frm>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        dialogs->Answers << dataDir.path();
        window->cmdBrowse->click();
        if (!ClickFile(*window, archive))
            return nullptr;
        return window;
    }
    static QAction* action(const frm& w, const char* name) {
        return w.findChild<QAction*>(QLatin1String(name));
    }

private slots:
    void initTestCase() {
        frm::SetAppPath(appDir.path());
        testfiles::Write(
            dataDir.filePath("three.dat"),
            testfiles::Archive({{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}}));
    }
    void init() { dialogs = std::make_unique<DialogRecorder>(); }
    void cleanup() { dialogs.reset(); }

    void menuActions() {
        auto w = open("three.dat");
        QVERIFY(w);
        const QList<std::pair<const char*, QString>> captions = {
            {"mnuEntryView", "&View"},
            {"mnuEntryOpen", "&Open"},
            {"mnuEntryExtract", "E&xtract..."},
            {"mnuEntryCopyNames", "&Copy Names"}};
        for (const auto& [name, caption] : captions) {
            QVERIFY2(action(*w, name), name);
            QCOMPARE(action(*w, name)->text(), caption);
        }
        QCOMPARE(action(*w, "mnuEntryView")->shortcut(), QKeySequence(Qt::Key_F3));

        ClickEntry(*w, 2);
        ClickEntry(*w, 0);
        action(*w, "mnuEntryCopyNames")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("A.TXT\nBB.TXT"));

        action(*w, "mnuEntryExtract")->trigger(); // the output folder dialog, cancelled
        QCOMPARE(dialogs->Browses.last().Title, QString("Select the output folder"));

        // A double-click opens the line and leaves the selection as it was.
        QSignalSpy opened(w->mnuEntry, &EntryMenu::Open);
        // As systems deliver it: press, release, (a second press,) double-click, release.
        for (const auto& [k, secondPress] : {std::pair{1, true}, {2, false}}) {
            QWidget* viewport = w->lstFiles->viewport();
            const QPoint at = w->lstFiles->visualItemRect(w->lstFiles->item(k)).center();
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            if (secondPress)
                QTest::mousePress(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.takeLast().at(0).toInt(), k);
            QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{0, 2}));
        }
    }

    // Typing moves the current line to the next name that starts with the letters typed; the
    // selection stays as it was.
    void typeAhead() {
        auto w = open("three.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        w->lstFiles->setFocus();
        QTest::keyClicks(w->lstFiles, "bb");
        QCOMPARE(w->lstFiles->currentRow(), 2);
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{0});
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
