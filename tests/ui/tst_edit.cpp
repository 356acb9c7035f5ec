// Writing archives from the window: Replace, Add Files and Remove in the entry list's context
// menu, and New Archive in the File menu.

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "ui/main/BackgroundRunTestHooks.h"
#include "ui/main/EntryMenu.h"
#include "winutil/modFileDialog.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using Entries = QList<QPair<QByteArray, QByteArray>>;

class TestEdit : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir;

private slots:
    void initTestCase() { frm::SetAppPath(appDir.path()); }

    // Each action on three.dat (A.TXT, B.TXT, BB.TXT) with the line B.TXT current and the
    // files picked made beside it: the archive afterwards, listed again, the message shown,
    // and no other file left beside them; the remembered folder stays as it was. With `stop`,
    // the run is held until the progress dialog's Cancel is pressed, or the window is closed
    // (the question answered by `reply`).
    void actions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("picked"); // files made with their names as bytes
        QTest::addColumn<int>("reply");          // to the question, when there is one
        QTest::addColumn<Entries>("after");      // of the archive written (NEW.DAT for New)
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stop"); // "", "cancel" or "close"
        // The bytes written where the edit keeps three.dat's layout; empty: `after` as create
        // lays it out.
        QTest::addColumn<QByteArray>("layout");
        const Entries three{{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}};
        using testfiles::Record;
        const QByteArray old = testfiles::Archive(three), end = Record("", 0, 0);
        QTest::newRow("add appends and relists")
            << "mnuEntryAdd" << QList<int>{} << QStringList{"C.TXT", "D"} << 0
            << three + Entries{{"C.TXT", "C.TXT"}, {"D", "D"}} << "" << "" << QByteArray();
        QTest::newRow("replace keeps the position, the larger data behind the end")
            << "mnuEntryReplace" << QList<int>{} << QStringList{"OTHER.BIN"} << 0
            << Entries{{"A.TXT", "alpha"}, {"B.TXT", "OTHER.BIN"}, {"BB.TXT", "charlie"}} << ""
            << ""
            << QByteArray(Record("A.TXT", 80, 5) + Record("B.TXT", 97, 9) +
                          Record("BB.TXT", 90, 7) + old.mid(60) + "OTHER.BIN");
        QTest::newRow("remove after Yes: the data stays as a gap")
            << "mnuEntryRemove" << QList<int>{0, 2} << QStringList{} << int(modMsgBox::vbYes)
            << Entries{{"B.TXT", "bravo"}} << "" << ""
            << QByteArray(Record("B.TXT", 85, 5) + end + old.mid(40));
        QTest::newRow("remove keeps the entries before the first removed")
            << "mnuEntryRemove" << QList<int>{1} << QStringList{} << int(modMsgBox::vbYes)
            << Entries{{"A.TXT", "alpha"}, {"BB.TXT", "charlie"}} << "" << ""
            << QByteArray(Record("A.TXT", 80, 5) + Record("BB.TXT", 90, 7) + end + old.mid(60));
        QTest::newRow("remove without a selection takes the current line")
            << "mnuEntryRemove" << QList<int>{} << QStringList{} << int(modMsgBox::vbYes)
            << Entries{{"A.TXT", "alpha"}, {"BB.TXT", "charlie"}} << "" << ""
            << QByteArray(Record("A.TXT", 80, 5) + Record("BB.TXT", 90, 7) + end + old.mid(60));
        QTest::newRow("remove after No") << "mnuEntryRemove" << QList<int>{0, 2} << QStringList{}
                                         << int(modMsgBox::vbNo) << three << "" << ""
                                         << QByteArray();
        QTest::newRow("new archive from files")
            << "mnuFileNew" << QList<int>{} << QStringList{"Y.TXT", "X.TXT"} << 0
            << Entries{{"Y.TXT", "Y.TXT"}, {"X.TXT", "X.TXT"}} << "" << "" << QByteArray();
        QTest::newRow("refused names leave the archive untouched")
            << "mnuEntryAdd" << QList<int>{} << QStringList{"1ST.TXT", "b.txt", "OK.TXT"} << 0
            << three
            << "DIR/1ST.TXT: name starts with a byte that ends the directory (NUL, '.', '/' or a "
               "digit)\nDIR/b.txt: same name as the entry B.TXT when case is folded\n\nNothing "
               "was written."
            << "" << QByteArray();
        QTest::newRow("a refusal names the file that has the name already")
            << "mnuEntryAdd" << QList<int>{} << QStringList{"NEW2.TXT", "new2.txt"} << 0 << three
            << "DIR/new2.txt: same name as DIR/NEW2.TXT when case is folded\n\nNothing was "
               "written."
            << "" << QByteArray();
        QTest::newRow("cancelled add leaves the archive as it was")
            << "mnuEntryAdd" << QList<int>{} << QStringList{"C.TXT"} << 0 << three
            << "Cancelled: nothing was written." << "cancel" << QByteArray();
        QTest::newRow("closing during a write: Yes writes nothing and closes")
            << "mnuEntryAdd" << QList<int>{} << QStringList{"C.TXT"} << int(modMsgBox::vbYes)
            << three << "An archive is being written. Cancel the writing and close the window?"
            << "close" << QByteArray();
    }
    void actions() {
        QFETCH(QString, action);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, picked);
        QFETCH(int, reply);
        QFETCH(Entries, after);
        QFETCH(QString, message);
        QFETCH(QString, stop);
        QFETCH(QByteArray, layout);
        QTemporaryDir dir;
        const QString archive = dir.filePath("three.dat");
        testfiles::Write(
            archive,
            testfiles::Archive({{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}}));
        QStringList files;
        for (const QString& name : picked) {
            files << dir.filePath(name);
            testfiles::Write(files.last(), name.toUtf8());
        }
        DialogRecorder dialogs;
        dialogs.Replies << reply;
        QStringList titles, folders; // of the file dialogs
        modFileDialog::SetOpenHandler([&](const QString& folder, const QString& title, bool) {
            titles << title;
            folders << folder;
            return files;
        });
        modFileDialog::SetSaveHandler([&](const QString& folder, const QString& title,
                                          const QString&) {
            titles << title;
            folders << folder;
            return dir.filePath("NEW.DAT");
        });
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.OpenPath(archive);
        for (const int k : selected)
            ClickEntry(w, k);
        w.lstFiles->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        const QByteArray before = testfiles::Read(archive);

        if (!stop.isEmpty())
            backgroundrun::SetWorkerHook([](std::uint64_t, std::stop_token stop) {
                while (!stop.stop_requested())
                    QThread::msleep(5);
            });
        w.findChild<QAction*>(action)->trigger();
        if (stop == "cancel") {
            QProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = w.findChild<QProgressDialog*>()) && progress->isVisible());
            progress->findChild<QPushButton*>()->click();
        } else if (stop == "close") {
            QVERIFY(!w.close());
            QTRY_VERIFY(!w.isVisible());
        }
        const bool isNew = action == "mnuFileNew";
        const QString written = isNew ? dir.filePath("NEW.DAT") : archive;
        QStringList names;
        for (const auto& [name, data] : after)
            names << name;
        QTRY_COMPARE(Lines(w.lstFiles), names);
        // Waited for by its size, which opens no file: on Windows a file held open by the test
        // could not be replaced.
        const QByteArray expected = layout.isEmpty() ? testfiles::Archive(after) : layout;
        QTRY_COMPARE(QFileInfo(written).size(), qint64(expected.size()));
        QCOMPARE(testfiles::Read(written), expected);
        if (!message.isEmpty()) {
            QTRY_COMPARE(dialogs.Messages.size(), 1);
            // Refusals are lines that the box never breaks.
            QString shown =
                QString(message).replace("DIR/", QDir::toNativeSeparators(dir.path() + "/"));
            if (const qsizetype end = shown.lastIndexOf("\n\nNothing was written."); end > 0)
                shown = shown.left(end).replace(' ', QChar(0xA0)) + shown.mid(end);
            QCOMPARE(dialogs.Messages.last().Prompt, shown);
            QCOMPARE(testfiles::Read(archive), before);
        }
        backgroundrun::SetWorkerHook({});
        QVERIFY(!QFileInfo::exists(appDir.filePath("Quillmarrow.ini")));
        QStringList left = picked << "three.dat";
        if (isNew)
            left << "NEW.DAT";
        left.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), left);
        if (action == "mnuEntryRemove")
            QCOMPARE(dialogs.Messages.value(0).Prompt,
                     selected.size() <= 1 ? QString("Remove 1 entry from three.dat?")
                                          : QString("Remove 2 entries from three.dat?"));
        else
            QCOMPARE(titles.size(), isNew ? 2 : 1);
        QCOMPARE(folders, QStringList(titles.size(), dir.path())); // the folder shown
        modFileDialog::SetOpenHandler({});
        modFileDialog::SetSaveHandler({});
    }

    // New Archive suggests a name with the listed archive's extension, in the current folder.
    void newArchiveName_data() {
        QTest::addColumn<QString>("listed"); // "": none
        QTest::addColumn<QString>("suggested");
        QTest::newRow("the listed archive's extension") << "GAME.PAK" << "New.PAK";
        QTest::newRow("none listed: .dat") << "" << "New.dat";
        QTest::newRow("a listed archive without one: .dat") << "GAME" << "New.dat";
    }
    void newArchiveName() {
        QFETCH(QString, listed);
        QFETCH(QString, suggested);
        QTemporaryDir dir;
        DialogRecorder dialogs;
        QString folder, name;
        modFileDialog::SetOpenHandler(
            [&](const QString&, const QString&, bool) { return QStringList{dir.filePath("F")}; });
        modFileDialog::SetSaveHandler([&](const QString& in, const QString&, const QString& as) {
            folder = in;
            name = as;
            return QString(); // cancelled
        });
        frm w;
        w.OpenPath(dir.path());
        if (!listed.isEmpty()) {
            testfiles::Write(dir.filePath(listed), testfiles::Archive({{"A", "a"}}));
            w.OpenPath(dir.filePath(listed));
        }
        w.mnuFileNew->trigger();
        modFileDialog::SetOpenHandler({});
        modFileDialog::SetSaveHandler({});
        QCOMPARE(folder, dir.path());
        QCOMPARE(name, suggested);
    }

    // The context menu for line 1 of a listing, and once another folder is chosen (the lines
    // kept, Extract disabled): the actions that write the archive go off with Extract; those
    // that read it stay.
    void staleMenu_data() {
        QTest::addColumn<bool>("stale");
        QTest::addColumn<QList<bool>>("enabled"); // View, Open, Extract, Replace, Add, Remove
        QTest::newRow("listed") << false << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("stale") << true << QList<bool>{true, true, false, false, false, false};
    }
    void staleMenu() {
        QFETCH(bool, stale);
        QFETCH(QList<bool>, enabled);
        QTemporaryDir dir, other;
        testfiles::Write(dir.filePath("three.dat"), testfiles::Archive({{"A", "a"}, {"B", "b"}}));
        DialogRecorder dialogs;
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.OpenPath(dir.filePath("three.dat"));
        if (stale) {
            dialogs.Answers << other.path();
            w.cmdBrowse->click();
        }
        QList<bool> shown;
        QTimer::singleShot(0, w.mnuEntry->Menu, [&] {
            for (QAction* a : {w.mnuEntry->mnuEntryView, w.mnuEntry->mnuEntryOpen,
                               w.mnuEntry->mnuEntryExtract, w.mnuEntry->mnuEntryReplace,
                               w.mnuEntry->mnuEntryAdd, w.mnuEntry->mnuEntryRemove})
                shown << a->isEnabled();
            w.mnuEntry->Menu->close();
        });
        emit w.lstFiles->MenuRequested(w.lstFiles->mapToGlobal(QPoint(5, 5)), 1);
        QCOMPARE(shown, enabled);
    }
};

QTEST_MAIN(TestEdit)
#include "tst_edit.moc"
