// The main window's behaviour: start, folders, listing, selection and extraction.

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "ui/ElidedLabel.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/ExtractionRun.h"
#include "ui/main/BackgroundRunTestHooks.h"
#include "ui/main/EntryMenu.h"
#include "ui/main/FileListBox.h"
#include "ui/main/frmSelectMatching.h"
#include "winutil/clsEndSignals.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <optional>
#include <thread>

#ifdef Q_OS_UNIX
#include <QProcess>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using testfiles::Record;

namespace {

const RecordedMessage Complete{"Extraction complete.", modMsgBox::vbInformation, "Complete"};
RecordedMessage Incomplete(const QString& problems) {
    return {"Extraction finished with problems:\n\n" + problems, modMsgBox::vbExclamation,
            "Extraction incomplete"};
}
// An entry's problem line as the closing message holds it: unbreakable.
QString Unbroken(QString line) {
    return line.replace(' ', QChar(0xA0));
}
RecordedMessage Cancelled(const QString& counts, const QString& problems = {}) {
    return {counts + (problems.isEmpty() ? "" : "\n\nProblems:\n" + problems),
            problems.isEmpty() ? modMsgBox::vbInformation : modMsgBox::vbExclamation,
            "Extraction cancelled"};
}

// A file's bytes at a path given as bytes, such as a name that is not valid UTF-8.
void WriteAt(const std::string& path, const QByteArray& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

// Holds the runs started next after their first entry until released or stopped.
void HoldAfterFirstEntry(const std::atomic<bool>& release) {
    backgroundrun::SetWorkerHook(
        [&release](std::uint64_t entriesDone, std::stop_token stop) {
            while (entriesDone == 1 && !release && !stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
}

#ifdef Q_OS_UNIX
// Runs the current test row again in a child as nobody, whom file modes bind where the tests run
// as root: its output when it fails, "" when it passes, nothing when it cannot be run so.
std::optional<QString> RowAsOrdinaryUser() {
    constexpr int NoUser = 125;
    QProcess child;
    child.setChildProcessModifier([] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(NoUser);
    });
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QString("%1:%2").arg(QTest::currentTestFunction(), QTest::currentDataTag())});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() == NoUser)
        return std::nullopt;
    return child.exitCode() == 0 ? QString() : QString::fromLocal8Bit(child.readAll());
}
#endif

} // namespace

class TestFrm : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir;  // stands for the program's folder
    QTemporaryDir dataDir; // a folder of archives
    std::unique_ptr<DialogRecorder> dialogs;

    QString iniPath() const { return appDir.filePath("Quillmarrow.ini"); }
    // The start the tests share: the window opened, then showing folder when one is given
    // (chosen with the browse button), then with the named file clicked. Null if a step fails.
    std::unique_ptr<frm> open(const QString& folder = {}, const QString& file = {}) {
        auto window = std::make_unique<frm>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        if (!folder.isEmpty()) {
            dialogs->Answers << folder;
            window->cmdBrowse->click();
        }
        if (!file.isEmpty() && !ClickFile(*window, file))
            return nullptr;
        return window;
    }
    // Extract, with folder answered to the output folder dialog; true once its closing
    // message has come.
    bool extractTo(frm& window, const QString& folder) {
        const qsizetype before = dialogs->Messages.size();
        dialogs->Answers << folder;
        window.cmdExtract->click();
        return QTest::qWaitFor([&] { return dialogs->Messages.size() > before; }, 30000);
    }
    bool buttonsEnabled(const frm& w) const {
        return w.cmdSelectAll->isEnabled() && w.cmdExtract->isEnabled();
    }
    bool buttonsDisabled(const frm& w) const {
        return !w.cmdSelectAll->isEnabled() && !w.cmdExtract->isEnabled();
    }

private slots:
    void initTestCase() {
        frm::SetAppPath(appDir.path());
        testfiles::Write(
            dataDir.filePath("three.dat"),
            testfiles::Archive({{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"C.TXT", "charlie"}}));
        testfiles::Write(dataDir.filePath("empty.dat"), Record("", 0, 0));
        testfiles::Write(dataDir.filePath("bad.dat"),
                         Record("GOOD", 60, 2) + Record("a/b", 60, 1) + Record("", 0, 0) + "ok");
        testfiles::Write(appDir.filePath("beside.dat"), testfiles::Archive({{"X", "x"}}));
        testfiles::Write(dataDir.filePath(".hidden.dat"), testfiles::Archive({{"H", "h"}}));
        QVERIFY(QDir(dataDir.path()).mkdir("sealed"));
        testfiles::Write(dataDir.filePath("sealed/s.dat"), testfiles::Archive({{"S", "s"}}));
        // A folder and a file whose names hold a byte that is not UTF-8.
        const std::string odd = QFile::encodeName(dataDir.path()).toStdString() + "/caf\xff";
        QVERIFY(std::filesystem::create_directory(odd));
        WriteAt(odd + "/x\xff.dat", testfiles::Archive({{"C1", "c"}}));
#ifdef Q_OS_UNIX
        QVERIFY(mkfifo(QFile::encodeName(dataDir.filePath("fifo")), 0600) == 0);
#endif
    }
    void cleanupTestCase() {
        // Qt's removal cannot name what is not UTF-8.
        std::filesystem::remove_all(QFile::encodeName(dataDir.path()).toStdString() + "/caf\xff");
    }
    void init() {
        QFile::remove(iniPath());
        dialogs = std::make_unique<DialogRecorder>();
    }
    void cleanup() {
        dialogs.reset();
    }

    void firstStartWithoutSettings() {
        auto w = open();
        QVERIFY(w);
        QCOMPARE(w->lblFolder->property("Tag").toString(), QDir::toNativeSeparators(appDir.path()));
        QCOMPARE(w->File->Path(), appDir.path());
        QVERIFY(w->File->findItems("beside.dat", Qt::MatchExactly).size() == 1);
        QCOMPARE(w->lstFiles->EntryCount(), 0);
        QVERIFY(buttonsDisabled(*w));
        QCOMPARE(w->windowTitle(), QString("Quillmarrow"));
        QCOMPARE(QApplication::focusWidget(), w->lstFiles);
        QVERIFY(!QFile::exists(iniPath())); // loading writes nothing
    }

    void chosenFolderIsRemembered() {
        {
            auto w = open(dataDir.path());
            QVERIFY(w);
            QCOMPARE(dialogs->Browses.size(), 1);
            QCOMPARE(dialogs->Browses[0].InitialFolder, QDir::toNativeSeparators(appDir.path()));
            QCOMPARE(dialogs->Browses[0].Title, QString("Select a folder"));
            QCOMPARE(w->File->Path(), dataDir.path());
            QCOMPARE(w->lblFolder->property("Tag").toString(),
                     QDir::toNativeSeparators(dataDir.path()));
            QCOMPARE(testfiles::Read(iniPath()),
                     "[General]\r\nFolder=" + dataDir.path().toLocal8Bit() + "\r\n");
            w->mnuFileExit->trigger();
            QVERIFY(!w->isVisible());
        }
        auto again = open(); // a restart
        QCOMPARE(again->File->Path(), dataDir.path());
        QVERIFY(buttonsDisabled(*again));
    }

    void cancelledBrowseChangesNothing() {
        auto w = open();
        const QString caption = w->lblFolder->text();
        w->cmdBrowse->click(); // no answer queued: cancelled
        QCOMPARE(dialogs->Browses.size(), 1);
        QCOMPARE(w->lblFolder->text(), caption);
        QCOMPARE(w->File->Path(), appDir.path());
        QVERIFY(!QFile::exists(iniPath()));
    }

    void listedStaleAndCleared() {
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        QCOMPARE(Lines(w->lstFiles), (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
        QVERIFY(buttonsEnabled(*w));

        // Another folder: the old lines stay, the buttons go off (stale).
        dialogs->Answers << appDir.path();
        w->cmdBrowse->click();
        QCOMPARE(w->lstFiles->EntryCount(), 3);
        QVERIFY(buttonsDisabled(*w));
        QVERIFY(ClickFile(*w, "beside.dat"));
        QCOMPARE(Lines(w->lstFiles), QStringList{"X"});
        QVERIFY(buttonsEnabled(*w));

        // A file that vanished since the folder was listed clears the list (cleared).
        testfiles::Write(appDir.filePath("gone.dat"), testfiles::Archive({{"G", "g"}}));
        w->File->Refresh();
        QVERIFY(QFile::remove(appDir.filePath("gone.dat")));
        QVERIFY(ClickFile(*w, "gone.dat"));
        QCOMPARE(w->lstFiles->EntryCount(), 0);
        QVERIFY(buttonsEnabled(*w));
        QVERIFY(dialogs->Messages.isEmpty());
    }

    void listingAgainDropsTheSelection() {
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        ClickEntry(*w, 2);
        QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{0, 2}));
        ClickEntry(*w, 0); // a click toggles one line only
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{2});
        QVERIFY(ClickFile(*w, "three.dat"));
        QCOMPARE(w->lstFiles->EntryCount(), 3);
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{});
    }

    // What Extract gathers: every selected line once, ascending, however the clicks split or
    // join the selection's ranges.
    void selectedPositions_data() {
        QTest::addColumn<bool>("selectAll"); // before the clicks
        QTest::addColumn<QList<int>>("clicked");
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("nothing selected") << false << QList<int>{} << QList<int>{};
        QTest::newRow("clicked out of order") << false << QList<int>{2, 0} << QList<int>{0, 2};
        QTest::newRow("adjacent clicks") << false << QList<int>{1, 0, 2} << QList<int>{0, 1, 2};
        QTest::newRow("off and on again") << false << QList<int>{1, 2, 1, 1} << QList<int>{1, 2};
        QTest::newRow("all but the middle") << true << QList<int>{1} << QList<int>{0, 2};
        QTest::newRow("all, middle off and on") << true << QList<int>{1, 1} << QList<int>{0, 1, 2};
    }
    void selectedPositions() {
        QFETCH(bool, selectAll);
        QFETCH(QList<int>, clicked);
        QFETCH(QList<int>, positions);
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        if (selectAll)
            w->cmdSelectAll->click();
        for (int k : clicked)
            ClickEntry(*w, k);
        const std::vector<int> gathered = w->lstFiles->SelectedPositions();
        QCOMPARE(QList<int>(gathered.begin(), gathered.end()), positions);
    }

    // However the highlighted file changes, the entry list shows that file's entries and
    // Extract writes them.
    void highlightIsListed_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("highlighted"); // "" for none
        QTest::addColumn<QStringList>("entries");
        const QStringList b{"B1", "B2"};
        QTest::newRow("click") << "click"
                               << "b.dat" << b;
        QTest::newRow("press on it, release elsewhere") << "press"
                                                        << "b.dat" << b;
        QTest::newRow("drag onto it") << "drag"
                                      << "b.dat" << b;
        QTest::newRow("right-click") << "right"
                                     << "b.dat" << b;
        QTest::newRow("down key") << "down"
                                  << "b.dat" << b;
        QTest::newRow("ctrl-click keeps it highlighted") << "ctrl"
                                                         << "a.dat" << QStringList{"A1"};
        QTest::newRow("it vanishes on a refresh") << "vanish"
                                                  << "" << QStringList{};
        // Not valid UTF-8; on Windows a letter of the ANSI code page.
        QTest::newRow("a name not valid in the locale's encoding")
            << "invalid" << QString::fromLocal8Bit("c\xff.dat") << QStringList{"C1"};
    }
    void highlightIsListed() {
        QFETCH(QString, how);
        QFETCH(QString, highlighted);
        QFETCH(QStringList, entries);
        QTemporaryDir dir;
        testfiles::Write(dir.filePath("a.dat"), testfiles::Archive({{"A1", "a"}}));
        testfiles::Write(dir.filePath("b.dat"), testfiles::Archive({{"B1", "b"}, {"B2", "bb"}}));
        {
            const QByteArray c = testfiles::Archive({{"C1", "c"}});
            std::ofstream(QFile::encodeName(dir.path()).toStdString() + "/c\xff.dat",
                          std::ios::binary)
                .write(c.data(), c.size());
        }
        auto w = open(dir.path(), "a.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);

        QWidget* view = w->File->viewport();
        const auto at = [&](int row) {
            return w->File->visualItemRect(w->File->item(row)).center();
        };
        if (how == "click") {
            QVERIFY(ClickFile(*w, "b.dat"));
        } else if (how == "press") {
            QTest::mousePress(view, Qt::LeftButton, {}, at(1));
            QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(5, view->height() - 5));
        } else if (how == "drag") {
            QTest::mousePress(view, Qt::LeftButton, {}, at(0));
            QTest::mouseMove(view, at(1));
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(1));
        } else if (how == "right") {
            QTest::mouseClick(view, Qt::RightButton, {}, at(1));
        } else if (how == "down") {
            w->File->setFocus();
            QTest::keyClick(w->File, Qt::Key_Down);
        } else if (how == "ctrl") {
            QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, at(0));
        } else if (how == "vanish") {
            QVERIFY(QFile::remove(dir.filePath("a.dat")));
            w->File->Refresh();
        } else if (how == "invalid") {
            QVERIFY(ClickFile(*w, highlighted));
        }

        const QList<QListWidgetItem*> selected = w->File->selectedItems();
        QCOMPARE(selected.isEmpty() ? QString() : selected.first()->text(), highlighted);
        QCOMPARE(w->File->FileName(), highlighted);
        QCOMPARE(Lines(w->lstFiles), entries);
        w->cmdSelectAll->click();
        QTemporaryDir out;
        QVERIFY(extractTo(*w, out.path()));
        QCOMPARE(testfiles::Contents(out.path()), entries);
        std::filesystem::remove(QFile::encodeName(dir.path()).toStdString() + "/c\xff.dat");
    }

    // Choosing the same folder again or pressing F5 reads the folder again; the highlighted
    // file stays highlighted and listed.
    void refresh_data() {
        QTest::addColumn<bool>("f5"); // otherwise the same folder is chosen again
        QTest::newRow("the same folder chosen again") << false;
        QTest::newRow("F5") << true;
    }
    void refresh() {
        QFETCH(bool, f5);
        QTemporaryDir dir;
        testfiles::Write(dir.filePath("b.dat"), testfiles::Archive({{"B1", "b"}}));
        auto w = open(dir.path(), "b.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        testfiles::Write(dir.filePath("a.dat"), testfiles::Archive({{"A1", "a"}}));
        if (f5) {
            QTest::keyClick(w.get(), Qt::Key_F5);
        } else {
            dialogs->Answers << dir.path();
            w->cmdBrowse->click();
        }
        QCOMPARE(Lines(w->File), (QStringList{"a.dat", "b.dat"}));
        QCOMPARE(w->File->FileName(), QString("b.dat"));
        QVERIFY(w->File->item(1)->isSelected());
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{0}); // not listed again
        QVERIFY(buttonsEnabled(*w));
    }

    void readFailure() {
        // A file the system will not open: unreadable by mode, or, where the tests run with
        // the rights to read anything, a write-only attribute file of the kernel.
        QTemporaryDir dir;
        QString folder = dir.path();
        QString name = "locked.dat";
        testfiles::Write(dir.filePath(name), testfiles::Archive({{"L", "l"}}));
        QFile::setPermissions(dir.filePath(name), {});
        if (QFile(dir.filePath(name)).open(QIODevice::ReadOnly)) {
            folder = "/sys/bus/platform";
            name = "uevent";
            if (!QFileInfo(folder + "/" + name).isFile() ||
                QFile(folder + "/" + name).open(QIODevice::ReadOnly))
                QSKIP("no file here that cannot be opened");
        }
        auto w = open(folder, name);
        QVERIFY(w);
        QCOMPARE(w->lstFiles->EntryCount(), 0);
        QCOMPARE(dialogs->Messages,
                 QList<RecordedMessage>({{"frm.ListArchiveEntries: permission denied", 16,
                                          "Could not read archive"}}));
    }

    void extract_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("lines");          // listed, also none: Extract is enabled even so
        QTest::addColumn<QList<int>>("clicked"); // entry lines clicked; empty: Select All
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<RecordedMessage>("message"); // %1: the output folder
        QTest::addColumn<QString>("folder");          // the output folder answered, below a new one
        const QStringList abc{"A.TXT", "B.TXT", "C.TXT"};
        QTest::newRow("entries 0 and 2") << "three.dat" << 3 << QList<int>{0, 2}
                                         << QStringList{"A.TXT", "C.TXT"} << Complete << "";
        QTest::newRow("a typed folder is made with its missing parents")
            << "three.dat" << 3 << QList<int>{} << abc << Complete << "new/deeper";
        QTest::newRow("a folder that cannot be made is reported")
            << "three.dat" << 3 << QList<int>{} << QStringList{}
            << Incomplete(
                   "%1: cannot create the folder: Not a directory\n\nNo entry was extracted.")
            << "file/new";
        QTest::newRow("select all") << "three.dat" << 3 << QList<int>{} << abc << Complete << "";
        QTest::newRow("an unsafe name is reported, never as complete")
            << "bad.dat" << 2 << QList<int>{} << QStringList{"GOOD"}
            << Incomplete(Unbroken("a/b: unsafe name (contains a path separator)")) << "";
    }
    void extract() {
        QFETCH(QString, archive);
        QFETCH(int, lines);
        QFETCH(QList<int>, clicked);
        QFETCH(QStringList, files);
        QFETCH(RecordedMessage, message);
        QFETCH(QString, folder);
        auto w = open(dataDir.path(), archive);
        QVERIFY(w);
        QCOMPARE(w->lstFiles->EntryCount(), lines);
        QVERIFY(buttonsEnabled(*w));
        if (clicked.isEmpty())
            w->cmdSelectAll->click();
        for (int k : clicked)
            ClickEntry(*w, k);
        QTemporaryDir out;
        testfiles::Write(out.filePath("file"), "in the way");
        const QString output = folder.isEmpty() ? out.path() : out.filePath(folder);
        QVERIFY(extractTo(*w, output));
        QCOMPARE(dialogs->Browses.last().Title, QString("Select the output folder"));
        QCOMPARE(dialogs->Browses.last().InitialFolder, dataDir.path());
        if (!QFileInfo(output).isDir())
            QCOMPARE(files, QStringList{});
        else
            QCOMPARE(testfiles::Contents(output),
                     files + (folder.isEmpty() ? QStringList{"file"} : QStringList{}));
        if (message.Prompt.contains("%1"))
            message.Prompt = message.Prompt.arg(output);
        QCOMPARE(dialogs->Messages, QList<RecordedMessage>{message});
        QVERIFY(buttonsEnabled(*w)); // extracting leaves the state as it was
    }

    // Extract runs on a worker: the window keeps handling events, the progress dialog shows
    // after the delay, and its Cancel leaves only whole files. The worker is held after the
    // first entry until cancelled, or for longer than the delay.
    void extractInWorker_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<RecordedMessage>("message");
        QTest::newRow("cancelled after the first entry")
            << true << QStringList{"A.BIN"}
            << Cancelled("1 entry was extracted.\nCancelled: 3 entries were not extracted.");
        QTest::newRow("runs to the end")
            << false << QStringList{"A.BIN", "B.BIN", "C.BIN", "D.BIN"} << Complete;
    }
    void extractInWorker() {
        QFETCH(bool, cancel);
        QFETCH(QStringList, files);
        QFETCH(RecordedMessage, message);
        const QList<QPair<QByteArray, QByteArray>> entries = {{"A.BIN", QByteArray(4 << 20, 'a')},
                                                              {"B.BIN", QByteArray(12 << 20, 'b')},
                                                              {"C.BIN", "c"},
                                                              {"D.BIN", "d"}};
        testfiles::Write(dataDir.filePath("large.dat"), testfiles::Archive(entries));
        backgroundrun::SetWorkerHook(
            [cancel](std::uint64_t entriesDone, std::stop_token stop) {
                const auto until =
                    std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(cancel ? 10000 : 2 * ExtractionRun::ProgressDelayMs);
                while (entriesDone == 1 && !stop.stop_requested() &&
                       std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            });
        auto w = open();
        w->OpenPath(dataDir.filePath("large.dat"));
        w->cmdSelectAll->click();
        QTemporaryDir out;
        dialogs->Answers << out.path();

        int ticks = 0;
        QString label;
        bool plain = false; // the label shows names as they are, never as markup
        int bar = -1;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            auto* dialog = w->findChild<QProgressDialog*>();
            if (!dialog || !dialog->isVisible() || !label.isEmpty())
                return;
            label = dialog->labelText();
            plain = dialog->findChild<QLabel*>()->textFormat() == Qt::PlainText;
            bar = qRound(100.0 * dialog->value() / dialog->maximum());
            if (cancel)
                dialog->findChild<QPushButton*>()->click(); // its Cancel button
        });
        timer.start(10);
        w->cmdExtract->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs->Messages.isEmpty(), 30000);
        timer.stop();
        backgroundrun::SetWorkerHook({});

        QVERIFY(ticks > 0); // the window kept handling events
        QCOMPARE(label, QString("Extracting B.BIN (2 of 4)"));
        QVERIFY(plain);
        QCOMPARE(bar, 25); // per cent, by bytes: 4 of the 16 MiB
        QVERIFY(!w->findChild<QProgressDialog*>());
        QCOMPARE(testfiles::Contents(out.path()), files);
        for (int k = 0; k < files.size(); ++k)
            QCOMPARE(testfiles::Read(out.filePath(files[k])), entries[k].second);
        QCOMPARE(dialogs->Messages, QList<RecordedMessage>{message});
        QFile::remove(dataDir.filePath("large.dat"));
    }

    // Until the progress dialog shows, no click or key reaches the window: neither Select All,
    // an entry line, its mnemonic, nor Enter (Extract again).
    void noInputWhileExtracting() {
        std::atomic<bool> release = false;
        HoldAfterFirstEntry(release);
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        ClickEntry(*w, 1);
        ClickEntry(*w, 2);
        QTemporaryDir out;
        dialogs->Answers << out.path();
        w->cmdExtract->click(); // held after the first entry
        QWindow* window = w->windowHandle();
        const auto centre = [&](QWidget* widget, QPoint at) { return widget->mapTo(w.get(), at); };
        QTest::mouseClick(window, Qt::LeftButton, {},
                          centre(w->lstFiles->viewport(),
                                 w->lstFiles->LineRect(0).center()));
        QTest::mouseClick(window, Qt::LeftButton, {},
                          centre(w->cmdSelectAll, w->cmdSelectAll->rect().center()));
        QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
        QTest::keyClick(window, Qt::Key_Return);
        const bool early = !w->findChild<QProgressDialog*>();
        const QList<int> selected = SelectedLines(w->lstFiles);
        release = true;
        QTRY_COMPARE_WITH_TIMEOUT(dialogs->Messages.size(), 1, 30000);
        backgroundrun::SetWorkerHook({});
        if (!early)
            QSKIP("the progress dialog showed before the input was sent");
        QCOMPARE(selected, (QList<int>{1, 2}));
        QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{1, 2}));
        QCOMPARE(dialogs->Browses.size(), 2); // the folder chosen, then the output folder
        QCOMPARE(dialogs->Messages[0], Complete);
    }

    // The output folder dialog Extract opens (the real one, looked at and answered through its
    // show hook): titled, opened at the folder shown, and a typed folder that does not exist
    // yet is accepted and made.
    void extractOpensTheOutputFolderDialog() {
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        QTemporaryDir out;
        const QString typed = out.filePath("new");
        QString title, start;
        bool acceptable = false;
        modBrowseForFolder::SetHandler({});
        modBrowseForFolder::SetShowHandler([&](QFileDialog& dialog) {
            title = dialog.windowTitle();
            start = dialog.directory().absolutePath();
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(typed);
            acceptable = dialog.findChild<QDialogButtonBox*>("buttonBox")
                             ->button(QDialogButtonBox::Open)
                             ->isEnabled();
            if (!acceptable)
                return int(QDialog::Rejected);
            static_cast<QDialog&>(dialog).accept(); // as its button would
            return dialog.result();
        });
        w->cmdExtract->click();
        modBrowseForFolder::SetShowHandler({});
        QCOMPARE(title, QString("Select the output folder"));
        QCOMPARE(start, dataDir.path());
        QVERIFY(acceptable);
        QTRY_COMPARE_WITH_TIMEOUT(dialogs->Messages.size(), 1, 30000);
        QCOMPARE(dialogs->Messages[0], Complete);
        QCOMPARE(testfiles::Contents(typed), (QStringList{"A.TXT", "B.TXT", "C.TXT"}));
    }

    // The closing message of a run, from its report alone.
    void closingMessage_data() {
        using Kind = archive::EntryResult::Kind;
        QTest::addColumn<QList<Kind>>("results"); // of positions 0, 1 ...
        QTest::addColumn<bool>("read");           // false: no record was read
        QTest::addColumn<RecordedMessage>("message");
        QTest::newRow("all written")
            << QList<Kind>{Kind::Written, Kind::Written} << true << Complete;
        QTest::newRow("one cancelled")
            << QList<Kind>{Kind::Written, Kind::Cancelled} << true
            << Cancelled("1 entry was extracted.\nCancelled: 1 entry was not extracted.");
        QTest::newRow("two cancelled")
            << QList<Kind>{Kind::Written, Kind::Written, Kind::Cancelled, Kind::Cancelled} << true
            << Cancelled("2 entries were extracted.\nCancelled: 2 entries were not extracted.");
        QTest::newRow("cancelled, with a problem apart")
            << QList<Kind>{Kind::UnsafeName, Kind::Cancelled} << true
            << Cancelled("0 entries were extracted.\nCancelled: 1 entry was not extracted.",
                         Unbroken("U/0: unsafe name (contains a path separator)"));
        QTest::newRow("a record never read goes by its listed name")
            << QList<Kind>{Kind::NotInDirectory} << false
            << Incomplete(Unbroken("L0: not extracted: the archive changed since it was listed"));
        QStringList twenty;
        for (int k = 0; k < 20; ++k)
            twenty << Unbroken(QString("U/%1: unsafe name (contains a path separator)").arg(k));
        QTest::newRow("the first 20 problems are named, the rest counted")
            << QList<Kind>(25, Kind::UnsafeName) << true
            << Incomplete(twenty.join('\n') + "\n... and 5 more.");
    }
    // A name with control characters, a backslash or bytes that are not text is shown escaped,
    // as the command line shows it.
    void closingMessageEscapesNames_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
#ifdef _WIN32
        const QString backslash = "\\"; // Windows' path separator, shown as it is
#else
        const QString backslash = "\\\\";
#endif
        QTest::newRow("tab and backslash")
            << QByteArray("a\tb\\c") << "a\\x09b" + backslash + "c";
        QTest::newRow("DEL and a C1 control") << QByteArray("d\x7f\xc2\x85") << "d\\x7f\\xc2\\x85";
        QTest::newRow("a byte that is not UTF-8, beside text")
            << QByteArray("\xff\xc3\xa9") << "\\xff\u00e9";
        QTest::newRow("a byte order mark is kept")
            << QByteArray("\xef\xbb\xbfx") << QStringLiteral("\ufeffx");
    }
    void closingMessageEscapesNames() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
#ifdef _WIN32
        if (std::any_of(name.begin(), name.end(), [](char c) { return uchar(c) >= 0x80; }))
            QSKIP("Windows reads names in the ANSI code page, not as UTF-8");
#endif
        archive::EntryResult e;
        e.Name = name.toStdString();
        e.Result = archive::EntryResult::Kind::UnsafeName;
        archive::ExtractReport report;
        report.Problems = 1;
        report.Entries.push_back(e);
        const ClosingMessage m = ExtractSummary(report, ExtractionRequest{});
        QCOMPARE(m.Prompt.section('\n', 2).section(QChar(0xA0), 0, 0), shown + ":");
    }

    void closingMessage() {
        QFETCH(QList<archive::EntryResult::Kind>, results);
        QFETCH(bool, read);
        QFETCH(RecordedMessage, message);
        ExtractionRequest request;
        archive::ExtractReport report;
        for (int k = 0; k < results.size(); ++k) {
            request.Positions.push_back(k);
            request.ListedNames.push_back("L" + std::to_string(k));
            archive::EntryResult e;
            e.Position = k;
            e.Name = read ? "U/" + std::to_string(k) : "";
            e.Result = results[k];
            report.Problems += e.Result != archive::EntryResult::Kind::Written;
            report.Entries.push_back(e);
        }
        const ClosingMessage shown = ExtractSummary(report, request);
        QCOMPARE((RecordedMessage{shown.Prompt, shown.Style, shown.Title}), message);
    }

    // Extract never says "complete" for nothing: with nothing selected it offers every entry,
    // and with no entries or no listed archive it says so.
    void nothingToExtract_data() {
        QTest::addColumn<QString>("archive"); // clicked; "gone": deleted, then F5
        QTest::addColumn<int>("reply");       // to the question
        QTest::addColumn<RecordedMessage>("first");
        QTest::addColumn<QStringList>("files");
        const RecordedMessage all{"No entry is selected. Extract all 3 entries of three.dat?",
                                  modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                                  "Extract all entries"};
        QTest::newRow("nothing selected, all declined")
            << "three.dat" << int(modMsgBox::vbNo) << all << QStringList{};
        QTest::newRow("nothing selected, all accepted")
            << "three.dat" << int(modMsgBox::vbYes) << all
            << QStringList{"A.TXT", "B.TXT", "C.TXT"};
        QTest::newRow("an archive without entries")
            << "empty.dat" << 0
            << RecordedMessage{"empty.dat has no entries.", modMsgBox::vbExclamation,
                               "Nothing to extract"}
            << QStringList{};
        QTest::newRow("the listed archive deleted, then F5")
            << "gone" << 0
            << RecordedMessage{"No archive is listed. Choose an archive in the file list to list "
                               "its entries.",
                               modMsgBox::vbExclamation, "Nothing to extract"}
            << QStringList{};
    }
    void nothingToExtract() {
        QFETCH(QString, archive);
        QFETCH(int, reply);
        QFETCH(RecordedMessage, first);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        testfiles::Write(dir.filePath("gone"), testfiles::Archive({{"G", "g"}}));
        QVERIFY(QFile::copy(dataDir.filePath(archive), dir.filePath(archive)) || archive == "gone");
        auto w = open(dir.path(), archive);
        QVERIFY(w);
        if (archive == "gone") {
            QVERIFY(QFile::remove(dir.filePath("gone")));
            QTest::keyClick(w.get(), Qt::Key_F5);
        }
        QVERIFY(buttonsEnabled(*w));
        QTemporaryDir out;
        dialogs->Replies << reply;
        dialogs->Answers << out.path();
        w->cmdExtract->click();
        QTRY_VERIFY(!dialogs->Messages.isEmpty());
        QCOMPARE(dialogs->Messages[0], first);
        if (!files.isEmpty())
            QTRY_COMPARE(dialogs->Messages.size(), 2);
        const QList<RecordedMessage> closing =
            files.isEmpty() ? QList<RecordedMessage>() : QList<RecordedMessage>({Complete});
        QCOMPARE(dialogs->Messages.mid(1), closing);
        QCOMPARE(dialogs->Browses.size(), files.isEmpty() ? 1 : 2);
        QCOMPARE(testfiles::Contents(out.path()), files);
    }

    // A close request during an extraction asks once, and the run waits for the answer (the
    // worker, released from the test's hold as the question comes, would finish meanwhile); Yes
    // cancels the run and closes once it ends. A run that ends while asked takes the question
    // away. SIGINT, SIGTERM and SIGHUP close the window unasked, as Yes does.
    void closeDuringExtraction_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("written");
        const QStringList a{"A.TXT"}, ab{"A.TXT", "B.TXT"}, abc{"A.TXT", "B.TXT", "C.TXT"};
        QTest::newRow("no: the run waits, then goes on") << "no" << abc;
        QTest::newRow("yes: cancelled, then closed") << "yes" << ab;
        QTest::newRow("asked over the progress dialog, modal to it") << "over" << abc;
        QTest::newRow("the run ends while asked: the answer is not taken") << "late" << abc;
#ifndef _WIN32
        QTest::newRow("SIGTERM: cancelled and closed unasked") << "SIGTERM" << a;
        QTest::newRow("SIGHUP: the same") << "SIGHUP" << a;
#endif
    }
    void closeDuringExtraction() {
        QFETCH(QString, how);
        QFETCH(QStringList, written);
        const bool closes = how == "yes" || how.startsWith("SIG");
        std::atomic<bool> release = false;
        const std::uint64_t holdAt = how == "late" ? 3 : 1; // entries done
        backgroundrun::SetWorkerHook([&](std::uint64_t entriesDone, std::stop_token stop) {
            while (entriesDone == holdAt && !release && !stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        QTemporaryDir out;
        dialogs->Answers << out.path();
        const RecordedMessage asked{"An extraction is running. Cancel it and close the window?",
                                    modMsgBox::vbYesNo + modMsgBox::vbQuestion, "Quillmarrow"};
        QStringList whileAsked;
        bool progressWhileAsked = false;
        const auto answer = [&] {
            release = true;
            if (how == "late") { // the run's own closing message comes first
                return QTest::qWaitFor([&] { return dialogs->Messages.size() == 2; }, 30000)
                           ? int(modMsgBox::vbYes)
                           : int(modMsgBox::vbNo);
            }
            QTest::qWait(BackgroundRun::ProgressDelayMs + 200);
            whileAsked = testfiles::Contents(out.path());
            progressWhileAsked = w->findChild<QProgressDialog*>() && how != "over";
            w->close(); // asks nothing more
            return int(how == "yes" ? modMsgBox::vbYes : modMsgBox::vbNo);
        };
        const modMsgBox::Handler record = [&](const QString& prompt, int buttons,
                                              const QString& title) {
            dialogs->Messages.append({prompt, buttons, title});
            return prompt == asked.Prompt ? answer() : int(modMsgBox::vbOK);
        };
        modMsgBox::SetHandler(record);
        bool over = false; // asked over the progress dialog, modal to it
        if (how == "over") { // the box itself, the messages after it recorded as before
            modMsgBox::SetHandler({});
            modMsgBox::SetShowHandler([&](QMessageBox& box) {
                modMsgBox::SetHandler(record);
                over = box.windowModality() == Qt::WindowModal &&
                       qobject_cast<QProgressDialog*>(box.parentWidget());
                return record(box.text(), asked.Buttons, box.windowTitle());
            });
        }
        w->cmdExtract->click(); // held after the first entry, or the last
        QTRY_COMPARE(testfiles::Contents(out.path()), how == "late" ? written : QStringList{"A.TXT"});
        if (how == "over")
            QTRY_VERIFY(w->findChild<QProgressDialog*>());
#ifndef _WIN32
        std::optional<clsEndSignals> ending;
        if (closes && how != "yes") {
            ending.emplace([&] { w->Quit(); });
            std::raise(how == "SIGTERM" ? SIGTERM : SIGHUP);
        } else
#endif
            QVERIFY(!w->close());
        QTRY_VERIFY_WITH_TIMEOUT(!w->findChild<QProgressDialog*>() && w->isVisible() != closes, 30000);
        backgroundrun::SetWorkerHook({});
        modMsgBox::SetShowHandler({});
        QCOMPARE(testfiles::Contents(out.path()), written);
        if (how != "late" && !how.startsWith("SIG")) // the worker waited after the next entry
            QCOMPARE(whileAsked, (QStringList{"A.TXT", "B.TXT"}));
        QVERIFY(!progressWhileAsked);
        QCOMPARE(over, how == "over");
        QList<RecordedMessage> messages;
        if (!how.startsWith("SIG"))
            messages << asked;
        if (!closes)
            messages << Complete;
        QCOMPARE(dialogs->Messages, messages);
    }

    void cancelledExtractShowsNothing() {
        auto w = open({}, "beside.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        w->cmdExtract->click(); // cancelled
        QCOMPARE(dialogs->Browses.size(), 1);
        QVERIFY(dialogs->Messages.isEmpty());
    }

    void archiveDeletedBeforeExtracting() {
        auto w = open();
        testfiles::Write(appDir.filePath("brief.dat"), testfiles::Archive({{"B", "b"}}));
        w->File->Refresh();
        QVERIFY(ClickFile(*w, "brief.dat"));
        w->cmdSelectAll->click();
        QVERIFY(QFile::remove(appDir.filePath("brief.dat")));
        QTemporaryDir out;
        QVERIFY(extractTo(*w, out.path()));
        QCOMPARE(dialogs->Messages.size(), 1);
        QCOMPARE(dialogs->Messages[0].Buttons, 48);
        QVERIFY(dialogs->Messages[0].Prompt.contains("the archive does not exist"));
    }

    void folderWithTrailingSeparator() {
        // A root folder ends in a separator already; the doubled separator still names the file.
        auto w = open(dataDir.path() + "/", "three.dat");
        QVERIFY(w);
        QCOMPARE(w->lstFiles->EntryCount(), 3);
    }

    void enterRunsExtract_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("keypad");   // the keypad's Enter rather than Return
        QTest::addColumn<QString>("title"); // of the folder dialog Enter opens
        QTest::newRow("entry list") << "lstFiles" << false << "Select the output folder";
        QTest::newRow("file list") << "File" << false << "Select the output folder";
        QTest::newRow("keypad Enter in the entry list")
            << "lstFiles" << true << "Select the output folder";
        QTest::newRow("keypad Enter in the file list")
            << "File" << true << "Select the output folder";
        QTest::newRow("on the browse button, it presses that button")
            << "cmdBrowse" << false << "Select a folder";
    }
    void enterRunsExtract() {
        QFETCH(QString, focus);
        QFETCH(bool, keypad);
        QFETCH(QString, title);
        auto w = open({}, "beside.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        auto* target = w->findChild<QWidget*>(focus);
        target->setFocus();
        if (keypad)
            QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        else
            QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(dialogs->Browses.size(), 1);
        QCOMPARE(dialogs->Browses[0].Title, title);
    }

    void enterDoesNothingWhileExtractIsDisabled() {
        auto w = open();
        QTest::keyClick(w->lstFiles, Qt::Key_Return);
        QVERIFY(dialogs->Browses.isEmpty());
    }

    // One message however the archive is listed: opening one in another folder lists it once.
    void tooManyEntries_data() {
        QTest::addColumn<bool>("opened"); // from another folder, otherwise clicked
        QTest::newRow("clicked") << false;
        QTest::newRow("opened from another folder") << true;
    }
    void tooManyEntries() {
        QFETCH(bool, opened);
        QByteArray directory;
        for (int k = 0; k < frm::MaxListedEntries + 5; ++k)
            directory += Record("E" + QByteArray::number(k), 0, 0);
        testfiles::Write(dataDir.filePath("huge.dat"), directory);
        auto w = opened ? open() : open(dataDir.path(), "huge.dat");
        QVERIFY(w);
        if (opened)
            w->OpenPath(dataDir.filePath("huge.dat"));
        QCOMPARE(w->lstFiles->EntryCount(), frm::MaxListedEntries);
        QCOMPARE(w->lstFiles->ShownName(frm::MaxListedEntries - 1), QString("E32766"));
        QCOMPARE(dialogs->Messages.size(), 1);
        QVERIFY(dialogs->Messages[0].Prompt.contains("left out"));
        QCOMPARE(dialogs->Messages[0].Buttons, 48); // a notice, not a failure
        w->cmdSelectAll->click();
        QCOMPARE(w->lstFiles->selectionModel()->selectedRows().size(), frm::MaxListedEntries);
        QFile::remove(dataDir.filePath("huge.dat"));
    }

    // The file lists a long folder in batches: a file opened far down is scrolled to once its
    // line is laid out.
    void farFileIsScrolledTo() {
        QTemporaryDir dir;
        for (int k = 0; k < 3000; ++k)
            testfiles::Write(dir.filePath(QString("f%1.dat").arg(k, 4, 10, QChar('0'))), {});
        auto w = open();
        w->OpenPath(dir.filePath("f2999.dat"));
        QCOMPARE(w->File->FileName(), QString("f2999.dat"));
        QTRY_VERIFY(
            w->File->viewport()->rect().contains(w->File->visualItemRect(w->File->currentItem())));
    }

    // A path on the command line, and the same path dropped on the window. Paths are relative
    // to the data folder, which is the current folder; "=" stands for the data folder itself.
    void openPath_data() {
        QTest::addColumn<QString>("path"); // as pathtext::PathText gives it
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QString>("first");  // a file of the data folder opened before; "" none
        QTest::addColumn<int>("sealedMode"); // given to the folder "sealed" as nobody; -1 none
        QTest::addColumn<QString>("folder"); // shown afterwards; "=" the data folder
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("message"); // the warning's text after the path; "" none
        const QString odd = pathtext::PathText("/caf\xff");
        for (const bool drop : {false, true}) {
            const QByteArray how = drop ? "dropped: " : "argument: ";
            QTest::newRow(how + "a file opens its folder, highlighted and listed")
                << "three.dat" << drop << "" << -1 << "="
                << "three.dat" << QStringList{"A.TXT", "B.TXT", "C.TXT"} << "";
            QTest::newRow(how + "a folder opens that folder") << "=/" << drop << "" << -1 << "="
                                                              << "" << QStringList{} << "";
            QTest::newRow(how + "a missing path warns and changes nothing")
                << "missing.dat" << drop << "" << -1 << appDir.path() << "" << QStringList{}
                << ": no such file or folder";
            QTest::newRow(how + "names not valid UTF-8 keep their bytes")
                << odd.mid(1) + pathtext::PathText("/x\xff.dat") << drop << "" << -1 << "=" + odd
                << QString::fromLocal8Bit("x\xff.dat") << QStringList{"C1"} << "";
            QTest::newRow(how + "a hidden file of the folder shown keeps its listing")
                << ".hidden.dat" << drop << "three.dat" << -1 << "="
                << "three.dat" << QStringList{"A.TXT", "B.TXT", "C.TXT"}
                << ": not in the file list (hidden files are left out)";
#ifdef Q_OS_UNIX
            QTest::newRow(how + "a FIFO is not a regular file")
                << "fifo" << drop << "" << -1 << appDir.path() << "" << QStringList{}
                << ": is not a regular file";
#endif
        }
        QTest::newRow("argument: a hidden file opens its folder and warns")
            << ".hidden.dat" << false << "" << -1 << "="
            << "" << QStringList{} << ": not in the file list (hidden files are left out)";
#ifdef Q_OS_UNIX
        QTest::newRow("argument: a device is not a regular file")
            << "/dev/null" << false << "" << -1 << appDir.path() << "" << QStringList{}
            << ": is not a regular file";
        QTest::newRow("argument: an archive in a folder that may be searched, not read, is listed")
            << "sealed/s.dat" << false << "" << 0111 << "=/sealed"
            << "" << QStringList{"S"} << "";
        QTest::newRow("argument: a folder that may not be read is opened and reported")
            << "sealed" << false << "" << 0 << "=/sealed"
            << "" << QStringList{} << ": permission denied";
        QTest::newRow("argument: an archive in a folder that may not be searched is reported")
            << "sealed/s.dat" << false << "" << 0600 << appDir.path() << "" << QStringList{}
            << ": permission denied";
#endif
    }
    void openPath() {
        QFETCH(QString, path);
        QFETCH(bool, drop);
        QFETCH(QString, first);
        QFETCH(int, sealedMode);
        QFETCH(QString, folder);
        QFETCH(QString, highlighted);
        QFETCH(QStringList, lines);
        QFETCH(QString, message);
#ifdef Q_OS_UNIX
        if (sealedMode >= 0 && geteuid() == 0) {
            const std::optional<QString> failure = RowAsOrdinaryUser();
            if (!failure)
                QSKIP("cannot run as an ordinary user here");
            QVERIFY2(failure->isEmpty(), qPrintable(*failure));
            return;
        }
        const QByteArray sealed = QFile::encodeName(dataDir.filePath("sealed"));
        QVERIFY(sealedMode < 0 || ::chmod(sealed, mode_t(sealedMode)) == 0);
#else
        Q_UNUSED(sealedMode); // its rows are POSIX's
#endif
        const QString here = QDir::currentPath();
        QDir::setCurrent(dataDir.path());
        auto w = open();
        if (!first.isEmpty())
            w->OpenPath(dataDir.filePath(first));
        if (path.startsWith('='))
            path.replace(0, 1, dataDir.path());
        if (drop) {
            // Over the file list, which takes no drops itself: the window takes them. (Files
            // dropped on the entry list are added to the archive listed: see tst_edit.)
            path = QDir(dataDir.path()).filePath(path); // as a file manager gives it, encoded
            QMimeData mime;
#ifdef _WIN32
            mime.setUrls({QUrl::fromLocalFile(path)});
#else
            mime.setUrls({QUrl::fromEncoded(
                "file://" + QByteArray::fromStdString(testfiles::NativePath(path).native())
                                .toPercentEncoding("/"))});
#endif
            const QPoint at = w->File->mapTo(w.get(), w->File->rect().center());
            QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w->windowHandle(), &enter);
            QVERIFY(enter.isAccepted());
            QCOMPARE(enter.dropAction(), Qt::CopyAction); // never a move
            QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(w->windowHandle(), &dropped);
            QVERIFY(dropped.isAccepted());
        } else {
            w->OpenPath(path);
        }
        QDir::setCurrent(here);
#ifdef Q_OS_UNIX
        ::chmod(sealed, 0755);
#endif
        const QString shown = folder.startsWith('=') ? dataDir.path() + folder.mid(1) : folder;
        QCOMPARE(w->File->Path(), shown);
        QCOMPARE(w->lblFolder->property("Tag").toString(), pathtext::ShownText(shown));
        QCOMPARE(w->File->FileName(), highlighted);
        QCOMPARE(Lines(w->lstFiles), lines);
        QCOMPARE(buttonsEnabled(*w), !lines.isEmpty());
        QCOMPARE(dialogs->Messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(dialogs->Messages[0].Prompt, QDir::toNativeSeparators(path) + message);
            QCOMPARE(dialogs->Messages[0].Buttons, 48);
            QCOMPARE(dialogs->Messages[0].Title, QString("Could not open"));
        }
        QVERIFY(!QFile::exists(iniPath())); // the remembered folder stays as it was
    }

    // Where the window starts and the settings go: an unpacked copy keeps both in its own
    // folder; an installed one (in a system program folder, which root may write) starts in
    // the home folder and keeps its settings in the user's configuration folder. A remembered
    // folder that is gone is said once the window shows; the settings keep it.
    void startAndSettings_data() {
        QTest::addColumn<QString>("program"); // "": the test's own program folder
        QTest::addColumn<bool>("gone");       // a remembered folder that does not exist
        QTest::newRow("unpacked copy") << "" << false;
        QTest::newRow("installed in /usr/bin") << "/usr/bin" << false;
        QTest::newRow("a remembered folder that is gone") << "" << true;
    }
    void startAndSettings() {
        QFETCH(QString, program);
        QFETCH(bool, gone);
        const bool installed = !program.isEmpty();
#ifdef _WIN32
        if (installed)
            QSKIP("the folders of an installed copy are Unix's");
#endif
        if (installed && !QFileInfo(program).isDir())
            QSKIP("no such program folder here");
        const QByteArray ini =
            "[General]\r\nFolder=" + QFile::encodeName(dataDir.path()) + "/gone\r\n";
        if (gone)
            testfiles::Write(iniPath(), ini);
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
        frm::SetAppPath(installed ? program : appDir.path());
        // A fault here must not leave a file in the system's program folder.
        const QString beside = program + "/Quillmarrow.ini";
        const bool left = installed && QFile::exists(beside); // by an older version
        const auto tidy = qScopeGuard([&] {
            if (installed && !left)
                QFile::remove(beside);
        });
        const QString userIni =
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
            "/Quillmarrow.ini";
        frm w;
        QVERIFY(dialogs->Messages.isEmpty()); // not before the window shows
        w.show();
        QTRY_COMPARE(dialogs->Messages.size(), gone ? 1 : 0);
        QCOMPARE(w.File->Path(), installed ? home.path() : appDir.path());
        if (gone) {
            QCOMPARE(dialogs->Messages[0],
                     (RecordedMessage{"The remembered folder " +
                                          QDir::toNativeSeparators(dataDir.path() + "/gone") +
                                          " does not exist. The window shows " +
                                          QDir::toNativeSeparators(appDir.path()) + " instead.",
                                      modMsgBox::vbExclamation, "Folder not found"}));
            QCOMPARE(testfiles::Read(iniPath()), ini);
        }
        dialogs->Answers << dataDir.path();
        w.cmdBrowse->click();
        frm::SetAppPath(appDir.path());
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
        QCOMPARE(QFile::exists(userIni), installed);
        QCOMPARE(QFile::exists(iniPath()), !installed);
        QVERIFY(!installed || left || !QFile::exists(beside));
    }

    // A path on the command line that cannot be opened is warned about over the window, once it
    // is shown.
    void warningWaitsForTheWindow() {
        QWidget* owner = nullptr;
        bool shown = false;
        modMsgBox::SetHandler({});
        modMsgBox::SetShowHandler([&](QMessageBox& box) {
            owner = box.parentWidget();
            shown = owner && owner->isVisible();
            return int(modMsgBox::vbOK);
        });
        frm w;
        w.OpenPath(dataDir.filePath("missing.dat"));
        QVERIFY(!owner);
        w.show();
        QTRY_VERIFY(owner);
        modMsgBox::SetShowHandler({});
        QCOMPARE(owner, &w);
        QVERIFY(shown);
    }

    // Every control of the window has an accessible name and a description.
    void accessibleNames_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("folder label") << "lblFolder"
                                      << "Folder";
        QTest::newRow("folder button") << "cmdBrowse"
                                       << "Choose the folder";
        QTest::newRow("file list") << "File"
                                   << "Files";
        QTest::newRow("entry list") << "lstFiles"
                                    << "Entries";
        QTest::newRow("Select All") << "cmdSelectAll"
                                    << "Select All";
        QTest::newRow("Extract") << "cmdExtract"
                                 << "Extract";
        QTest::newRow("status line") << "statusBar"
                                     << "Status line";
        QTest::newRow("its text, as it changes") << "lblStatus"
                                                 << "No archive is listed";
        QTest::newRow("Select Matching's pattern") << "txtPattern"
                                                   << "Pattern";
        QTest::newRow("Select Matching's check box") << "chkIgnoreCase"
                                                     << "Ignore case";
    }
    // (The window's, and those of the dialog Select Matching shows over it.)
    void accessibleNames() {
        QFETCH(QString, control);
        QFETCH(QString, name);
        auto w = open();
        frmSelectMatching dialog(w.get());
        QMap<QString, QStringList> tree = AccessibleTree(w.get());
        tree.insert(AccessibleTree(&dialog));
        QVERIFY2(tree.contains(control), qPrintable(tree.keys().join(' ')));
        QCOMPARE(tree[control][0], name);
        QVERIFY(!tree[control][1].isEmpty());
    }

    // A file name too long for the file list shows whole in a tooltip; one that fits shows none.
    void longFileNameToolTip_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("tip");
        QTest::newRow("fits") << "a.dat" << false;
        QTest::newRow("too long") << QString(60, 'n') + ".dat" << true;
    }
    void longFileNameToolTip() {
        QFETCH(QString, name);
        QFETCH(bool, tip);
        QTemporaryDir dir;
        testfiles::Write(dir.filePath(name), {});
        auto w = open(dir.path());
        QVERIFY(w);
        QWidget* viewport = w->File->viewport();
        const QPoint at = w->File->visualItemRect(w->File->item(0)).center();
        QHelpEvent hover(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &hover);
        QTextDocument shown;
        shown.setHtml(QToolTip::isVisible() ? QToolTip::text() : QString());
        QCOMPARE(shown.toPlainText(), tip ? name : QString());
        QToolTip::hideText();
    }

    // A remembered folder whose name is not UTF-8, whether the settings file holds its bytes
    // (read one byte per character) or the folder was chosen with "...": it opens again.
    void rememberedFolderNotValidUtf8_data() {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("its bytes in the settings file") << false;
        QTest::newRow("chosen, then the window opened again") << true;
    }
    void rememberedFolderNotValidUtf8() {
        QFETCH(bool, chosen);
        const std::string odd = QFile::encodeName(dataDir.path()).toStdString() + "/caf\xff";
        if (chosen)
            open(pathtext::PathText(odd)).reset();
        else
            testfiles::Write(iniPath(), "[General]\r\nFolder=" + QByteArray::fromStdString(odd) +
                                            "\r\n");
        auto w = open();
        QVERIFY(w);
        QCOMPARE(dialogs->Messages, QList<RecordedMessage>{});
        QCOMPARE(Lines(w->File), QStringList{QString::fromLocal8Bit("x\xff.dat")});
        QCOMPARE(
            w->lblFolder->property("Tag").toString(),
            QDir::toNativeSeparators(dataDir.path() + "/" + QString::fromLocal8Bit("caf\xff")));
    }

    void openPathReadsTheShownFolderAgain() {
        auto w = open();
        testfiles::Write(appDir.filePath("late.dat"), testfiles::Archive({{"L", "l"}}));
        w->OpenPath(appDir.filePath("late.dat")); // made after the folder was listed
        QFile::remove(appDir.filePath("late.dat"));
        QCOMPARE(w->File->FileName(), QString("late.dat"));
        QCOMPARE(Lines(w->lstFiles), QStringList{"L"});
    }

    void dropOfAWebAddressIsRefused() {
        auto w = open();
        QMimeData mime;
        mime.setUrls({QUrl("https://www.example.com/a.dat")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(w->windowHandle(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    // The columns show each record's name, size and offset as recorded; a click on a header
    // sorts by that column (again: the other way, a third time: directory order, as the menu's
    // Directory Order does). The selection follows its entries, and Extract after a sort writes
    // the entries selected, by their records. C.TXT is selected before the sort, then the
    // second line shown is clicked.
    void sortedColumns_data() {
        QTest::addColumn<int>("column"); // whose header is clicked
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("menu"); // then Directory Order
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("sizes");
        const QString big = "2,147,483,647";
        QTest::newRow("directory order") << 0 << 0 << false
                                         << QStringList{"B.TXT", "A.TXT", "C.TXT", "D.BIG"}
                                         << QStringList{"5", "7", "2", big};
        QTest::newRow("Name, one click: ascending")
            << 0 << 1 << false << QStringList{"A.TXT", "B.TXT", "C.TXT", "D.BIG"}
            << QStringList{"7", "5", "2", big};
        QTest::newRow("Size, one click: the smallest first")
            << 1 << 1 << false << QStringList{"C.TXT", "B.TXT", "A.TXT", "D.BIG"}
            << QStringList{"2", "5", "7", big};
        QTest::newRow("Size, two clicks: the largest first")
            << 1 << 2 << false << QStringList{"D.BIG", "A.TXT", "B.TXT", "C.TXT"}
            << QStringList{big, "7", "5", "2"};
        QTest::newRow("Offset, one click: a negative offset first")
            << 2 << 1 << false << QStringList{"D.BIG", "A.TXT", "C.TXT", "B.TXT"}
            << QStringList{big, "7", "2", "5"};
        QTest::newRow("Size, three clicks: directory order again")
            << 1 << 3 << false << QStringList{"B.TXT", "A.TXT", "C.TXT", "D.BIG"}
            << QStringList{"5", "7", "2", big};
        QTest::newRow("Directory Order after a sort by size")
            << 1 << 1 << true << QStringList{"B.TXT", "A.TXT", "C.TXT", "D.BIG"}
            << QStringList{"5", "7", "2", big};
    }
    void sortedColumns() {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(bool, menu);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, sizes);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
        const QStringList names{"B.TXT", "A.TXT", "C.TXT", "D.BIG"};
        QTemporaryDir dir;
        testfiles::Write(dir.filePath("sorts.dat"),
                         Record("B.TXT", 109, 5) + Record("A.TXT", 100, 7) +
                             Record("C.TXT", 107, 2) + Record("D.BIG", -1, 2147483647) +
                             Record("", 0, 0) + "aaaaaaacc" + "bbbbb");
        auto w = open(dir.path(), "sorts.dat");
        QVERIFY(w);
        QCOMPARE(Lines(w->lstFiles, 2), (QStringList{"109", "100", "107", "-1"}));
        // The widest size and offset show whole: the view's own measure of its lines fits.
        for (const int c : {1, 2}) // Size, Offset
            QVERIFY(w->lstFiles->columnWidth(c) >=
                    static_cast<QAbstractItemView*>(w->lstFiles)->sizeHintForColumn(c));
        ClickEntry(*w, 2);
        QHeaderView* header = w->lstFiles->header();
        for (int k = 0; k < clicks; ++k)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5,
                                     header->height() / 2));
        if (menu)
            w->mnuEntry->mnuEntryDirectoryOrder->trigger();
        QCOMPARE(Lines(w->lstFiles), lines);
        QCOMPARE(Lines(w->lstFiles, 1), sizes);
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{2});
        ClickEntry(*w, int(names.indexOf(lines[1])));
        QTemporaryDir out;
        QVERIFY(extractTo(*w, out.path()));
        QStringList written{"C.TXT", lines[1]};
        written.sort();
        QCOMPARE(testfiles::Contents(out.path()), written);
        QCOMPARE(testfiles::Read(out.filePath("C.TXT")), QByteArray("cc"));
        QCOMPARE(testfiles::Read(out.filePath(lines[1])).size(), sizes[1].toInt());
    }

    // Select Matching adds the entries whose names match a pattern (the command line's rules)
    // to the selection, and says how many; Select None clears it. The status line counts the
    // selection and its bytes.
    void selectMatching_data() {
        QTest::addColumn<QList<int>>("clicked"); // before
        QTest::addColumn<QString>("pattern");    // "": Select None instead
        QTest::addColumn<bool>("ignoreCase");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("status");
        const QString all = "3 entries, 17 bytes";
        QTest::newRow("a pattern that every name matches")
            << QList<int>{} << "*.TXT" << false << QList<int>{0, 1, 2}
            << "3 entries match *.TXT; " + all + "; 3 selected, 17 bytes";
        QTest::newRow("added to the selection")
            << QList<int>{0} << "C*" << false << QList<int>{0, 2}
            << "1 entry matches C*; " + all + "; 2 selected, 12 bytes";
        QTest::newRow("a set of characters")
            << QList<int>{} << "[!A].TXT" << false << QList<int>{1, 2}
            << "2 entries match [!A].TXT; " + all + "; 2 selected, 12 bytes";
        QTest::newRow("case kept: nothing matches")
            << QList<int>{1} << "b.txt" << false << QList<int>{1}
            << "No entry matches b.txt; " + all + "; 1 selected, 5 bytes";
        QTest::newRow("case ignored") << QList<int>{} << "b.txt" << true << QList<int>{1}
                                      << "1 entry matches b.txt; " + all + "; 1 selected, 5 bytes";
        QTest::newRow("Select None") << QList<int>{0, 2} << "" << false << QList<int>{}
                                     << "three.dat: " + all;
    }
    void selectMatching() {
        QFETCH(QList<int>, clicked);
        QFETCH(QString, pattern);
        QFETCH(bool, ignoreCase);
        QFETCH(QList<int>, selected);
        QFETCH(QString, status);
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        for (const int k : clicked)
            ClickEntry(*w, k);
        frmSelectMatching::SetHandler([&] {
            return std::optional<frmSelectMatching::Answer>({pattern, ignoreCase});
        });
        (pattern.isEmpty() ? w->mnuEntry->mnuEntrySelectNone : w->mnuEntry->mnuEntrySelectMatching)
            ->trigger();
        frmSelectMatching::SetHandler({});
        QCOMPARE(SelectedLines(w->lstFiles), selected);
        QCOMPARE(w->lblStatus->text(), status);
    }

    // A status line wider than the window ends in "…" and shows whole as its tooltip.
    void statusLineElided() {
        auto w = open(dataDir.path(), "three.dat");
        QVERIFY(w);
        auto* status = qobject_cast<ElidedLabel*>(w->lblStatus);
        QVERIFY(status);
        QCOMPARE(status->ShownText(), status->text());
        const QString whole = status->text().repeated(8);
        status->setText(whole);
        QVERIFY(status->ShownText().endsWith(QChar(0x2026)));
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), status->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(status, &help);
        QTRY_COMPARE(QToolTip::text(), whole);
        QToolTip::hideText();
    }

    void menus() {
        auto w = open();
        QCOMPARE(w->mnuFile->title(), QString("&File"));
        QCOMPARE(w->mnuFileExit->text(), QString("E&xit"));
        QCOMPARE(w->mnuHelp->title(), QString("&Help"));
        QCOMPARE(w->mnuHelpAbout->text(), QString("&About"));
        QCOMPARE(w->cmdSelectAll->text(), QString("Select &All"));
        QCOMPARE(w->cmdExtract->text(), QString("Extract"));
        QCOMPARE(w->cmdBrowse->text(), QString("&...")); // Alt+. presses it
        QCOMPARE(w->mnuFileRefresh->text(), QString("&Refresh"));
        QCOMPARE(w->mnuFileRefresh->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(w->mnuFile->actions().first(), w->mnuFileRefresh);
        QCOMPARE(w->cmdBrowse->toolTip(), QString("Choose the folder"));
        // Tab order once the buttons are enabled: entry list, Extract, Select All, file list,
        // browse button.
        QVERIFY(ClickFile(*w, "beside.dat"));
        w->lstFiles->setFocus();
        for (const char* next : {"cmdExtract", "cmdSelectAll", "File", "cmdBrowse"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
    }

    // A long folder whose name looks like markup: its tooltip holds the path as it is and
    // shows it as plain text.
    void folderTooltipIsPlainText() {
#ifdef _WIN32
        QSKIP("Windows allows no < or > in names");
#endif
        const QString folder = dataDir.filePath("<b>bold</b>" + QString(120, 'x'));
        QVERIFY(QDir().mkpath(folder));
        auto w = open(folder);
        QVERIFY(w);
        QVERIFY(w->lblFolder->text() != folder);
        QCOMPARE(w->lblFolder->toolTip(), folder);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), w->lblFolder->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(w->lblFolder, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        QCOMPARE(shown.toPlainText(), folder);
        QToolTip::hideText();
    }

    // The folder is fitted again whenever the label's width changes.
    void folderIsFittedToTheLabel() {
        auto w = open();
        QVERIFY(w);
        // A folder just too wide for the label, whatever the font.
        const QFontMetrics metrics(w->font());
        QString folder = dataDir.filePath("y");
        while (metrics.horizontalAdvance(QDir::toNativeSeparators(folder)) <= w->lblFolder->width())
            folder += 'y';
        QVERIFY(QDir().mkpath(folder));
        const QString shown = QDir::toNativeSeparators(folder);
        dialogs->Answers << folder;
        w->cmdBrowse->click();
        const QSize design = w->size();
        QVERIFY(w->lblFolder->text().contains("..."));
        w->resize(design.width() + metrics.horizontalAdvance(shown) / 4, design.height());
        QTRY_COMPARE(w->lblFolder->text(), shown);
        QCOMPARE(w->lblFolder->toolTip(), QString());
        w->resize(design);
        QTRY_VERIFY(w->lblFolder->text().contains("..."));
        QCOMPARE(w->lblFolder->toolTip(), shown);
    }

    // Extract looks like the default button while it is enabled, also after the focus has
    // been on it; the file list shows when it has the focus.
    void keyboardCues() {
        auto w = open();
        QVERIFY(!w->cmdExtract->isDefault());
        QVERIFY(ClickFile(*w, "beside.dat"));
        QVERIFY(w->cmdExtract->isDefault());
        w->cmdExtract->setFocus();
        w->lstFiles->setFocus();
        QVERIFY(w->cmdExtract->isDefault());
        dialogs->Answers << dataDir.path();
        w->cmdBrowse->click();
        QVERIFY(!w->cmdExtract->isDefault());

        const auto frameColour = [&](QWidget* list) {
            const QImage image = list->grab().toImage();
            return image.pixelColor(0, image.height() / 2);
        };
        const QColor highlight = w->File->palette().color(QPalette::Highlight);
        w->File->setFocus();
        QTRY_COMPARE(frameColour(w->File), highlight);
        QTRY_VERIFY(frameColour(w->lstFiles) != highlight);
        w->lstFiles->setFocus();
        QTRY_VERIFY(frameColour(w->File) != highlight);
        QTRY_COMPARE(frameColour(w->lstFiles), highlight);

        // Extract, the default button, looks different with the focus.
        QVERIFY(ClickFile(*w, "three.dat"));
        const QImage unfocused = w->cmdExtract->grab().toImage();
        w->cmdExtract->setFocus();
        QVERIFY(w->cmdExtract->isDefault());
        QVERIFY(w->cmdExtract->grab().toImage() != unfocused);
    }
};

QTEST_MAIN(TestFrm)
#include "tst_frm.moc"
