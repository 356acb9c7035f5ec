// Writing archives from the window: Replace, Add Files, Rename and Remove in the entry list's
// context menu (and their keys, and files dropped on the list), and New Archive in the File
// menu, with what the status line says afterwards.

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "ui/main/BackgroundRunTestHooks.h"
#include "ui/main/EntryMenu.h"
#include "winutil/modFileDialog.h"
#include "winutil/modInputBox.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
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
    // files picked (or dropped on the entry list) made beside it: the archive afterwards,
    // listed again, the question asked and the message shown, the status line, and no other
    // file left beside them; the remembered folder stays as it was. With `stop`, the run is held
    // until the progress dialog's Cancel is pressed, or the window is closed (the question
    // answered by `reply`).
    void actions_data() {
        QTest::addColumn<QString>("action"); // an action's name, a key, or "drop"
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("picked"); // files made with their names as bytes
        QTest::addColumn<QString>("typed");      // the name Rename is given
        QTest::addColumn<int>("reply");          // to the question, when there is one
        QTest::addColumn<Entries>("after");      // of the archive written (NEW.DAT for New)
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("stop"); // "", "cancel" or "close"
        // The bytes written where the edit keeps three.dat's layout; empty: `after` as create
        // lays it out.
        QTest::addColumn<QByteArray>("layout");
        const Entries three{{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}};
        const QString listed = "three.dat: 3 entries, 17 bytes";
        const int yes = modMsgBox::vbYes, no = modMsgBox::vbNo;
        const auto row = [](const char* name, const QString& action, const QList<int>& selected,
                            const QStringList& picked, const QString& typed, int reply,
                            const Entries& after, const QString& question, const QString& message,
                            const QString& status, const QString& stop = "",
                            const QByteArray& layout = {}) {
            QTest::newRow(name) << action << selected << picked << typed << reply << after
                                << question << message << status << stop << layout;
        };
        using testfiles::Record;
        const QByteArray old = testfiles::Archive(three), end = Record("", 0, 0);
        const QByteArray gapAfterA = Record("B.TXT", 85, 5) + end + old.mid(40);
        const QByteArray gapAfterB =
            Record("A.TXT", 80, 5) + Record("BB.TXT", 90, 7) + end + old.mid(60);
        const Entries added = three + Entries{{"C.TXT", "C.TXT"}, {"D", "D"}};
        row("add appends and relists", "mnuEntryAdd", {}, {"C.TXT", "D"}, "", 0, added, "", "",
            "Added 2 entries to three.dat; 5 entries, 23 bytes");
        row("replace keeps the position, the larger data behind the end", "mnuEntryReplace", {},
            {"OTHER.BIN"}, "", 0,
            {{"A.TXT", "alpha"}, {"B.TXT", "OTHER.BIN"}, {"BB.TXT", "charlie"}}, "", "",
            "Replaced B.TXT in three.dat; 3 entries, 21 bytes; Compact would reclaim 5 bytes", "",
            Record("A.TXT", 80, 5) + Record("B.TXT", 97, 9) + Record("BB.TXT", 90, 7) +
                old.mid(60) + "OTHER.BIN");
        const QString removeTwo = "Remove 2 entries from three.dat?";
        row("remove after Yes: the data stays as a gap", "mnuEntryRemove", {0, 2}, {}, "", yes,
            {{"B.TXT", "bravo"}}, removeTwo, "",
            "Removed 2 entries from three.dat; 1 entry, 5 bytes; Compact would reclaim 52 bytes",
            "", gapAfterA);
        row("remove keeps the entries before the first removed", "mnuEntryRemove", {1}, {}, "", yes,
            {{"A.TXT", "alpha"}, {"BB.TXT", "charlie"}}, "Remove 1 entry from three.dat?", "",
            "Removed B.TXT from three.dat; 2 entries, 12 bytes; Compact would reclaim 25 bytes", "",
            gapAfterB);
        row("remove without a selection takes the current line", "mnuEntryRemove", {}, {}, "", yes,
            {{"A.TXT", "alpha"}, {"BB.TXT", "charlie"}}, "Remove 1 entry from three.dat?", "",
            "Removed B.TXT from three.dat; 2 entries, 12 bytes; Compact would reclaim 25 bytes", "",
            gapAfterB);
        row("remove after No", "mnuEntryRemove", {0, 2}, {}, "", no, three, removeTwo, "",
            listed + "; 2 selected, 12 bytes");
        row("the Delete key removes, after the question", "Delete", {0, 2}, {}, "", yes,
            {{"B.TXT", "bravo"}}, removeTwo, "",
            "Removed 2 entries from three.dat; 1 entry, 5 bytes; Compact would reclaim 52 bytes",
            "", gapAfterA);
        row("new archive from files", "mnuFileNew", {}, {"Y.TXT", "X.TXT"}, "", 0,
            {{"Y.TXT", "Y.TXT"}, {"X.TXT", "X.TXT"}}, "", "",
            "Created NEW.DAT with 2 entries; 2 entries, 10 bytes");
        row("compact writes the archive again", "mnuFileCompact", {}, {}, "", 0, three, "", "",
            "Compacted three.dat; 3 entries, 17 bytes");
        row("refused names leave the archive untouched", "mnuEntryAdd", {},
            {"1ST.TXT", "b.txt", "OK.TXT"}, "", 0, three, "",
            "DIR/1ST.TXT: name starts with a byte that ends the directory (NUL, '.', '/' or a "
            "digit)\nDIR/b.txt: same name as the entry B.TXT when case is folded\n\nNothing was "
            "written.",
            listed);
        row("a refusal names the file that has the name already", "mnuEntryAdd", {},
            {"NEW2.TXT", "new2.txt"}, "", 0, three, "",
            "DIR/new2.txt: same name as DIR/NEW2.TXT when case is folded\n\nNothing was written.",
            listed);
        row("cancelled add leaves the archive as it was", "mnuEntryAdd", {}, {"C.TXT"}, "", 0,
            three, "", "Cancelled: nothing was written.", listed, "cancel");
        row("closing during a write: Yes writes nothing and closes", "mnuEntryAdd", {}, {"C.TXT"},
            "", yes, three, "",
            "An archive is being written. Cancel the writing and close the window?", listed,
            "close");
        row("rename keeps the entry's data and place", "mnuEntryRename", {}, {}, "Z.TXT", 0,
            {{"A.TXT", "alpha"}, {"Z.TXT", "bravo"}, {"BB.TXT", "charlie"}}, "", "",
            "Renamed B.TXT to Z.TXT in three.dat; 3 entries, 17 bytes");
        row("F2 renames; another entry's name is refused", "F2", {}, {}, "a.txt", 0, three, "",
            "a.txt: same name as the entry A.TXT when case is folded\n\nNothing was "
            "written.",
            listed);
        row("rename to a name create refuses", "mnuEntryRename", {}, {}, "THIRTEEN.TEXT", 0, three,
            "", "THIRTEEN.TEXT: name longer than 12 bytes\n\nNothing was written.", listed);
        row("files dropped on the entry list are added after Yes", "drop", {}, {"C.TXT", "D"}, "",
            yes, added, "Add 2 files to three.dat?", "",
            "Added 2 entries to three.dat; 5 entries, 23 bytes");
        row("files dropped after No", "drop", {}, {"C.TXT"}, "", no, three,
            "Add 1 file to three.dat?", "", listed);
    }
    void actions() {
        QFETCH(QString, action);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, picked);
        QFETCH(QString, typed);
        QFETCH(int, reply);
        QFETCH(Entries, after);
        QFETCH(QString, question);
        QFETCH(QString, message);
        QFETCH(QString, status);
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
        if (QDir(dir.path()).entryList(QDir::Files).size() < picked.size() + 1)
            QSKIP("this folder folds case: the files picked are one file here");
        DialogRecorder dialogs;
        dialogs.Replies << reply;
        QStringList titles, folders; // of the file dialogs
        modFileDialog::SetOpenHandler([&](const QString& folder, const QString& title, bool) {
            titles << title;
            folders << folder;
            return files;
        });
        modFileDialog::SetSaveHandler(
            [&](const QString& folder, const QString& title, const QString&) {
                titles << title;
                folders << folder;
                return dir.filePath("NEW.DAT");
            });
        QString asked; // by Rename
        modInputBox::SetHandler([&](const QString& prompt, const QString&, const QString& text) {
            asked = prompt + "|" + text;
            return std::optional<QString>(typed);
        });
        frm w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.OpenPath(archive);
        for (const int k : selected)
            ClickEntry(w, k);
        w.lstFiles->SetCurrentPosition(1);
        const QByteArray before = testfiles::Read(archive);

        if (!stop.isEmpty())
            backgroundrun::SetWorkerHook([](std::uint64_t, std::stop_token stop) {
                while (!stop.stop_requested())
                    QThread::msleep(5);
            });
        if (action == "drop") {
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString& file : files)
                urls << QUrl::fromLocalFile(file);
            mime.setUrls(urls);
            const QPoint at = w.lstFiles->mapTo(&w, w.lstFiles->rect().center());
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w.windowHandle(), &enter);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w.windowHandle(), &drop);
            QTRY_COMPARE(dialogs.Messages.size(), 1); // the question, once the drop is over
        } else if (!action.startsWith("mnu")) {       // a key
            QTest::keySequence(w.lstFiles, QKeySequence(action));
        } else {
            w.findChild<QAction*>(action)->trigger();
        }
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
        QTRY_COMPARE(w.lblStatus->text(), status);
        const QStringList shown = question.isEmpty() ? QStringList() : QStringList{question};
        if (!message.isEmpty()) {
            QTRY_COMPARE(dialogs.Messages.size(), int(shown.size()) + 1);
            // Refusals are lines that the box never breaks.
            QString refusal =
                QString(message).replace("DIR/", QDir::toNativeSeparators(dir.path() + "/"));
            if (const qsizetype end = refusal.lastIndexOf("\n\nNothing was written."); end > 0)
                refusal = refusal.left(end).replace(' ', QChar(0xA0)) + refusal.mid(end);
            QCOMPARE(dialogs.Messages.last().Prompt, refusal);
            QCOMPARE(testfiles::Read(archive), before);
        }
        QStringList prompts;
        for (const RecordedMessage& m : dialogs.Messages)
            prompts << m.Prompt;
        QCOMPARE(prompts.mid(0, shown.size()), shown);
        backgroundrun::SetWorkerHook({});
        QVERIFY(!QFileInfo::exists(appDir.filePath("Quillmarrow.ini")));
        QStringList left = picked << "three.dat";
        if (isNew)
            left << "NEW.DAT";
        left.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), left);
        const bool picks = isNew || action == "mnuEntryAdd" || action == "mnuEntryReplace";
        QCOMPARE(titles.size(), isNew ? 2 : picks ? 1 : 0);
        QCOMPARE(folders, QStringList(titles.size(), dir.path())); // the folder shown
        QCOMPARE(asked, typed.isEmpty() ? QString() : QString("New name for B.TXT:|B.TXT"));
        modFileDialog::SetOpenHandler({});
        modFileDialog::SetSaveHandler({});
        modInputBox::SetHandler({});
    }

    // New Archive suggests a name with the listed archive's extension, in the current folder.
    void newArchiveName_data() {
        QTest::addColumn<QString>("listed"); // "": none
        QTest::addColumn<QString>("suggested");
        QTest::newRow("the listed archive's extension") << "GAME.PAK"
                                                        << "New.PAK";
        QTest::newRow("none listed: .dat") << ""
                                           << "New.dat";
        QTest::newRow("a listed archive without one: .dat") << "GAME"
                                                            << "New.dat";
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
            for (QAction* a :
                 {w.mnuEntry->mnuEntryView, w.mnuEntry->mnuEntryOpen, w.mnuEntry->mnuEntryExtract,
                  w.mnuEntry->mnuEntryReplace, w.mnuEntry->mnuEntryAdd, w.mnuEntry->mnuEntryRemove})
                shown << a->isEnabled();
            w.mnuEntry->Menu->close();
        });
        emit w.lstFiles->MenuRequested(w.lstFiles->mapToGlobal(QPoint(5, 5)), 1);
        QCOMPARE(shown, enabled);
    }
};

QTEST_MAIN(TestEdit)
#include "tst_edit.moc"
