// Looking inside and taking out: the entry list's context menu, the viewer, Open, dragging
// entries out, the question before replacing files, type-ahead, and the checks of entries
// (Verify Against, Compare With, Copy Checksum).

#include "TestFiles.h"
#include "UiTestSupport.h"
#include "ui/main/EntryTransfer.h"
#include "ui/main/BackgroundRunTestHooks.h"
#include "ui/main/HexView.h"
#include "ui/main/frmChecks.h"
#include "ui/main/frmView.h"
#include "winutil/modFileDialog.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

using testfiles::Record;

// Records the files that Open hands to the default application.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    UrlRecorder() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& url) { Opened << url; }
};

namespace {

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A PNG whose header claims a size and which holds no pixels.
QByteArray PngHeader(quint32 width, quint32 height) {
    const auto be32 = [](quint32 v) {
        QByteArray bytes(4, '\0');
        qToBigEndian(v, bytes.data());
        return bytes;
    };
    const auto chunk = [&](const QByteArray& type, const QByteArray& data) {
        const QByteArray typed = type + data;
        quint32 crc = 0xFFFFFFFF;
        for (const char c : typed) {
            crc ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
        }
        return be32(quint32(data.size())) + typed + be32(~crc);
    };
    return "\x89PNG\r\n\x1a\n" +
           chunk("IHDR", be32(width) + be32(height) + QByteArray("\x08\x06\0\0\0", 5)) +
           chunk("IDAT", {});
}

} // namespace

class TestView : public QObject {
    Q_OBJECT

private:
    QTemporaryDir appDir, dataDir;
    std::unique_ptr<DialogRecorder> dialogs;
    std::unique_ptr<UrlRecorder> urls;

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
    static QAction* action(const QObject& w, const char* name) {
        return w.findChild<QAction*>(QLatin1String(name));
    }
    // The viewer of line k, opened with F3's action.
    static frmView* view(frm& w, int k) {
        w.lstFiles->SetCurrentPosition(k);
        action(w, "mnuEntryView")->trigger();
        const auto views = w.findChildren<frmView*>();
        return views.isEmpty() ? nullptr : views.last();
    }

private slots:
    void initTestCase() {
        frm::SetAppPath(appDir.path());
        testfiles::Write(
            dataDir.filePath("three.dat"),
            testfiles::Archive({{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}}));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        testfiles::Write(
            dataDir.filePath("view.dat"),
            testfiles::Archive({{"IMAGE.PNG", Png(image)},
                                {"TEXT.TXT", "hello\nw\xc3\xb6rld"},
                                {"BIN.DAT", QByteArray("AB\0\x01\xff", 5)},
                                {"HUGE.PNG", PngHeader(60000, 60000)},
                                {"LONG.TXT", QByteArray(frmView::MaxTextBytes + 5, 'x')
                                                 .replace("xxxxxxxxxxxxxxxx", "xxxxxxxxxxxxxxx\n")},
                                {"LATIN1.TXT", "caf\xe9"},
                                {"WIDE.PNG", Png(image.scaled(3000, 20))}}));
        testfiles::Write(dataDir.filePath("odd.dat"),
                         Record("NEG", -5, 3) + Record("SHORT", 60, 9) + Record("", 0, 0) + "abcd");
        const auto sum = [](const QByteArray& data, const QByteArray& name) {
            return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex() + "  " +
                   name + '\n';
        };
        testfiles::Write(dataDir.filePath("three.sum"),
                         sum("alpha", "A.TXT") + sum("bravo!", "B.TXT") + sum("", "GONE"));
        testfiles::Write(
            dataDir.filePath("changed.dat"),
            testfiles::Archive({{"B.TXT", "bravo"}, {"A.TXT", "alpha"}, {"BB.TXT", "CHARLIE"}}));
        // An entry of 2 GiB less a byte, in a sparse file.
        QFile big(dataDir.filePath("big.dat"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(Record("ZEROS", 40, INT32_MAX) + Record("", 0, 0));
        QVERIFY(big.resize(40 + qint64(INT32_MAX)));
    }
    void init() {
        dialogs = std::make_unique<DialogRecorder>();
        urls = std::make_unique<UrlRecorder>();
    }
    void cleanup() {
        dialogs.reset();
        urls.reset();
    }

    // File, Verify Against and Compare With show their lines and summary in a window of their
    // own; Copy Checksum puts the current line's SHA-256 on the clipboard. Each runs beside
    // the window: with `cancel`, the run is held until the progress dialog's Cancel is pressed.
    void checks_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("picked"); // the file the dialog gives
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("summary"); // or the clipboard, or the message shown then
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("verify against a list: failed, not listed, missing")
            << "three.dat" << "mnuFileVerify" << "three.sum" << false
            << "DIR/three.dat: 1 OK, 1 failed, 1 missing, 1 not listed"
            << QStringList{"B.TXT: FAILED", "BB.TXT: not listed", "GONE: missing"};
        QTest::newRow("compare with another archive: moved, changed")
            << "three.dat" << "mnuFileCompare" << "changed.dat" << false
            << "DIR/three.dat -> DIR/changed.dat: 0 added, 0 removed, 1 changed, 1 moved"
            << QStringList{"moved A.TXT (position 0 -> 1)", "changed BB.TXT (7 -> 7 bytes)"};
        QTest::newRow("compare with itself")
            << "three.dat" << "mnuFileCompare" << "three.dat" << false
            << "DIR/three.dat -> DIR/three.dat: the same entries with the same data in the same "
               "order"
            << QStringList{};
        QTest::newRow("verify against a list that does not exist")
            << "three.dat" << "mnuFileVerify" << "none.sum" << false
            << "DIR/none.sum: the list does not exist" << QStringList{};
        QTest::newRow("a cancelled comparison says so")
            << "three.dat" << "mnuFileCompare" << "changed.dat" << true
            << "Cancelled. DIR/three.dat -> DIR/changed.dat: 0 added, 0 removed, 0 changed, 0 moved"
            << QStringList{};
        QTest::newRow("copy the checksum of the current line")
            << "three.dat" << "mnuEntryCopyChecksum" << "" << false
            << QString(QCryptographicHash::hash("bravo", QCryptographicHash::Sha256).toHex())
            << QStringList{};
        QTest::newRow("copy the checksum of an entry cut short")
            << "odd.dat" << "mnuEntryCopyChecksum" << "" << false
            << "SHORT: cut short by the end of the archive (4 of 9 bytes written)" << QStringList{};
    }
    void checks() {
        QFETCH(QString, archive);
        QFETCH(QString, action);
        QFETCH(QString, picked);
        QFETCH(bool, cancel);
        QFETCH(QString, summary);
        QFETCH(QStringList, lines);
        summary.replace("DIR/", QDir::toNativeSeparators(dataDir.path() + "/"));
        QStringList titles;
        modFileDialog::SetOpenHandler([&](const QString&, const QString& title, bool) {
            titles << title;
            return QStringList{dataDir.filePath(picked)};
        });
        QApplication::clipboard()->clear();
        auto w = open(archive);
        QVERIFY(w);
        w->lstFiles->SetCurrentPosition(1);
        if (cancel)
            backgroundrun::SetWorkerHook([](std::uint64_t, std::stop_token stop) {
                while (!stop.stop_requested())
                    QThread::msleep(5);
            });
        TestView::action(*w, qPrintable(action))->trigger();
        if (cancel) {
            QProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = w->findChild<QProgressDialog*>()) && progress->isVisible());
            QVERIFY(progress->labelText().startsWith("Comparing "));
            progress->findChild<QPushButton*>()->click();
        }
        if (picked.isEmpty() || summary.endsWith("does not exist")) { // no window of lines
            QTRY_VERIFY(!QApplication::clipboard()->text().isEmpty() || !dialogs->Messages.isEmpty());
            QCOMPARE(dialogs->Messages.isEmpty() ? QApplication::clipboard()->text()
                                                 : dialogs->Messages.last().Prompt,
                     summary);
        } else {
            frmChecks* checks = nullptr;
            QTRY_VERIFY((checks = w->findChild<frmChecks*>()) && checks->isVisible());
            QCOMPARE(checks->lblSummary->text(), summary);
            QCOMPARE(checks->txtLines->toPlainText(), lines.join('\n'));
            QCOMPARE(titles, QStringList{(action == "mnuFileVerify" ? "Verify three.dat against a "
                                                                      "checksum list"
                                                                    : "Compare three.dat with "
                                                                      "another archive")});
            QCOMPARE(AccessibleTree(checks).value("txtLines").value(0), QString("Lines"));
        }
        backgroundrun::SetWorkerHook({});
        modFileDialog::SetOpenHandler({});
    }

    void menuActions() {
        auto w = open("three.dat");
        QVERIFY(w);
        const QList<std::pair<const char*, QString>> captions = {
            {"mnuEntryView", "&View"},
            {"mnuEntryOpen", "&Open"},
            {"mnuEntryExtract", "E&xtract..."},
            {"mnuEntryCopyNames", "&Copy Names"},
            {"mnuEntryCopyChecksum", "Copy C&hecksum"},
            {"mnuEntryRename", "Re&name..."},
            {"mnuEntrySelectMatching", "&Select Matching..."},
            {"mnuEntrySelectNone", "Select Non&e"},
            {"mnuEntryDirectoryOrder", "&Directory Order"}};
        for (const auto& [name, caption] : captions) {
            QVERIFY2(action(*w, name), name);
            QCOMPARE(action(*w, name)->text(), caption);
        }
        QCOMPARE(action(*w, "mnuEntryView")->shortcut(), QKeySequence(Qt::Key_F3));
        QCOMPARE(action(*w, "mnuEntryRename")->shortcut(), QKeySequence(Qt::Key_F2));
        QCOMPARE(action(*w, "mnuEntryRemove")->shortcut(), QKeySequence(QKeySequence::Delete));

        ClickEntry(*w, 2);
        ClickEntry(*w, 0);
        action(*w, "mnuEntryCopyNames")->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("A.TXT\nBB.TXT"));

        action(*w, "mnuEntryExtract")->trigger(); // the output folder dialog, cancelled
        QCOMPARE(dialogs->Browses.last().Title, QString("Select the output folder"));

        // A double-click opens the line and leaves the selection as it was.
        QSignalSpy opened(w->lstFiles, &EntryListBox::Open);
        // As the system delivers it: press, release, press, double-click, release.
        for (const int k : {1, 2}) { // a line not selected, a selected one
            QWidget* viewport = w->lstFiles->viewport();
            const QPoint at = w->lstFiles->LineRect(k).center();
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QTest::mousePress(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
            QCOMPARE(opened.size(), 1);
            QCOMPARE(opened.takeLast().at(0).toInt(), k);
            QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{0, 2}));
            QTRY_COMPARE(urls->Opened.size(), 1); // the window takes input again
            QCOMPARE(testfiles::Read(urls->Opened.takeFirst().toLocalFile()),
                     k == 1 ? "bravo" : "charlie");
        }
    }

    void viewer_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("page"); // image, text, hex, problem
        QTest::addColumn<QString>("status");
        QTest::newRow("image") << "view.dat" << 0 << "image"
                               << "PNG, 40 × 30 pixels, 100 %";
        QTest::newRow("UTF-8 text") << "view.dat" << 1 << "text"
                                    << "Text, 12 bytes";
        QTest::newRow("binary as hex") << "view.dat" << 2 << "hex"
                                       << "5 bytes";
        QTest::newRow("an image header claiming 60000 × 60000 pixels")
            << "view.dat" << 3 << "hex"
            << "PNG image of 60000 × 60000 pixels, too large to show, shown as hex; 45 bytes";
        QTest::newRow("long text is cut") << "view.dat" << 4 << "text"
                                          << "Text, 1048581 bytes; showing the first 1048576 bytes";
#ifdef _WIN32
        QTest::newRow("not UTF-8: text in the ANSI code page") << "view.dat" << 5 << "text"
                                                               << "Text, 4 bytes";
#else
        QTest::newRow("not UTF-8: hex") << "view.dat" << 5 << "hex"
                                        << "4 bytes";
#endif
        QTest::newRow("negative offset") << "odd.dat" << 0 << "problem"
                                         << "NEG: negative offset -5";
        QTest::newRow("cut short")
            << "odd.dat" << 1 << "text"
            << "Text, 4 bytes; cut short by the end of the archive: 4 of 9 bytes exist";
        QTest::newRow("changed after listing") << "" << 1 << "problem"
                                               << "B.TXT: the archive changed since it was listed";
        QTest::newRow("2 GiB") << "big.dat" << 0 << "hex"
                               << "2147483647 bytes";
    }
    void viewer() {
        QFETCH(QString, archive);
        QFETCH(int, line);
        QFETCH(QString, page);
        QFETCH(QString, status);
        auto w = open(archive.isEmpty() ? "three.dat" : archive);
        QVERIFY(w);
        if (archive.isEmpty()) { // another archive under the same name
            testfiles::Write(dataDir.filePath("three.dat"), testfiles::Archive({{"A.TXT", "a"}}));
        }
        QPointer<frmView> v = view(*w, line);
        QVERIFY(v);
        QCOMPARE(v->objectName(), QString("frmView"));
        QCOMPARE(v->windowTitle(), w->lstFiles->ShownName(line) + " - Quillmarrow");
        QVERIFY(v->isWindow() && v->isVisible());
        QCOMPARE(v->lblStatus->text(), status);
        const QMap<QString, QWidget*> pages = {{"image", static_cast<QWidget*>(v->scrPicture)},
                                               {"text", v->txtText},
                                               {"hex", v->hexData},
                                               {"problem", v->lblProblem}};
        QCOMPARE(v->pages->currentWidget(), pages[page]);
        if (page == "text")
            QVERIFY(v->txtText->isReadOnly());
        if (v->hexData) { // the switch shows any entry as hex
            v->mnuViewHex->trigger();
            QCOMPARE(v->pages->currentWidget(), v->hexData);
        }
        if (archive.isEmpty())
            testfiles::Write(dataDir.filePath("three.dat"),
                             testfiles::Archive(
                                 {{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}}));
        v->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), v);
        QTest::keyClick(v, Qt::Key_Escape);
        QTRY_VERIFY(!v);
    }

    void hexLines() {
        auto w = open("view.dat");
        frmView* v = view(*w, 1);
        QVERIFY(v && v->hexData);
        QCOMPARE(v->hexData->LineCount(), 1);
        QCOMPARE(
            v->hexData->Line(0),
            QString("00000000  68 65 6c 6c 6f 0a 77 c3  b6 72 6c 64              hello.w..rld"));
        auto big = open("big.dat");
        v = view(*big, 0);
        QVERIFY(v && v->hexData);
        QCOMPARE(v->hexData->LineCount(), (qint64(INT32_MAX) + 15) / 16);
        QCOMPARE(
            v->hexData->Line(v->hexData->LineCount() - 1),
            QString("7ffffff0  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00     ..............."));
        // The keys move through it by line and page, and to either end.
        QScrollBar* bar = v->hexData->verticalScrollBar();
        QTest::keyClick(v->hexData, Qt::Key_End);
        QCOMPARE(bar->value(), bar->maximum());
        QTest::keyClick(v->hexData, Qt::Key_PageUp);
        QCOMPARE(bar->value(), bar->maximum() - bar->pageStep());
        QTest::keyClick(v->hexData, Qt::Key_Up);
        QCOMPARE(bar->value(), bar->maximum() - bar->pageStep() - 1);
        QTest::keyClick(v->hexData, Qt::Key_Home);
        QCOMPARE(bar->value(), 0);
    }

    // Open extracts into the program's temporary folder and hands the file over; an entry that
    // cannot be written whole is reported as Extract reports it and never opened.
    void openEntry_data() {
        QTest::addColumn<QString>("archive"); // empty: three.dat, changed after listing
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("opened");
        QTest::addColumn<QString>("problem");
        QTest::newRow("text") << "view.dat" << 1 << QByteArray("hello\nw\xc3\xb6rld") << "";
        // Where TMPDIR names nothing, the system's rule takes /tmp, never "/".
        QTest::newRow("TMPDIR names no folder")
            << "view.dat" << 1 << QByteArray("hello\nw\xc3\xb6rld") << "/tmp";
        QTest::newRow("binary") << "view.dat" << 2 << QByteArray("AB\0\x01\xff", 5) << "";
        QTest::newRow("cut short") << "odd.dat" << 1 << QByteArray()
                                   << "SHORT: cut short by the end of the archive (4 of 9 bytes "
                                      "written)";
        QTest::newRow("negative offset")
            << "odd.dat" << 0 << QByteArray() << "NEG: negative offset -5";
        QTest::newRow("changed after listing")
            << "" << 1 << QByteArray()
            << "B.TXT: not extracted: the archive changed since it was listed";
        QTest::newRow("the line's record renamed after listing: named as listed")
            << "renamed" << 1 << QByteArray()
            << "B.TXT: not extracted: the archive changed since it was listed";
    }
    void openEntry() {
        QFETCH(QString, archive);
        QFETCH(int, line);
        QFETCH(QByteArray, opened);
        QFETCH(QString, problem);
        const QByteArray tmpdir = qgetenv("TMPDIR");
        const auto restore =
            qScopeGuard([&] { tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir); });
        const bool missingTmpdir = problem == "/tmp";
        if (missingTmpdir) {
#ifdef Q_OS_WIN
            QSKIP("Windows names its temporary folder otherwise");
#endif
            qputenv("TMPDIR", QFile::encodeName(dataDir.filePath("no such folder")));
            problem.clear();
        }
        const bool changed = archive.isEmpty() || archive == "renamed";
        auto w = open(changed ? "three.dat" : archive);
        QVERIFY(w);
        if (changed)
            testfiles::Write(dataDir.filePath("three.dat"),
                             archive.isEmpty() ? testfiles::Archive({{"A.TXT", "a"}})
                                               : testfiles::Archive({{"A.TXT", "alpha"},
                                                                     {"Z.TXT", "bravo"},
                                                                     {"BB.TXT", "charlie"}}));
        w->lstFiles->SetCurrentPosition(line);
        action(*w, "mnuEntryOpen")->trigger();
        if (problem.isEmpty()) {
            QTRY_COMPARE(urls->Opened.size(), 1);
            QCOMPARE(testfiles::Read(urls->Opened[0].toLocalFile()), opened);
            QCOMPARE(dialogs->Messages, QList<RecordedMessage>{});
            if (missingTmpdir)
                QVERIFY2(urls->Opened[0].toLocalFile().startsWith("/tmp/Quillmarrow-"),
                         qPrintable(urls->Opened[0].toLocalFile()));
        } else {
            QTRY_COMPARE(dialogs->Messages.size(), 1);
            QCOMPARE(dialogs->Messages[0],
                     RecordedMessage({"Extraction finished with problems:\n\n" +
                                          QString(problem).replace(' ', QChar(0xA0)),
                                      modMsgBox::vbExclamation, "Extraction incomplete"}));
            QCOMPARE(urls->Opened, QList<QUrl>{});
        }
        if (changed)
            testfiles::Write(dataDir.filePath("three.dat"),
                             testfiles::Archive(
                                 {{"A.TXT", "alpha"}, {"B.TXT", "bravo"}, {"BB.TXT", "charlie"}}));
    }

    // Dragging from a selected line offers the selected entries, from another line that line
    // alone, as whole files; the selection stays as it was.
    void dragOut_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::newRow("selected lines") << 2 << QList<QByteArray>{"alpha", "charlie"};
        QTest::newRow("a line not selected") << 1 << QList<QByteArray>{"bravo"};
    }
    void dragOut() {
        QFETCH(int, from);
        QFETCH(QList<QByteArray>, files);
        QList<QUrl> offered;
        EntryTransfer::SetDragHandler([&](const QMimeData& mime) { offered = mime.urls(); });
        auto w = open("three.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        ClickEntry(*w, 2);
        QWidget* viewport = w->lstFiles->viewport();
        const QPoint at = w->lstFiles->LineRect(from).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 1, 0));
        QTRY_VERIFY(!offered.isEmpty());
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        EntryTransfer::SetDragHandler({});
        QList<QByteArray> got;
        for (const QUrl& url : offered)
            got << testfiles::Read(url.toLocalFile());
        QCOMPARE(got, files);
        QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{0, 2}));
        QCOMPARE(dialogs->Messages, QList<RecordedMessage>{});
    }

    // A long drag shows the run's progress; its Cancel drags nothing.
    void cancelledDrag() {
        bool offered = false;
        EntryTransfer::SetDragHandler([&](const QMimeData&) { offered = true; });
        backgroundrun::SetWorkerHook([](std::uint64_t entriesDone, std::stop_token stop) {
            while (entriesDone == 1 && !stop.stop_requested())
                QThread::msleep(5);
        });
        auto w = open("three.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        QWidget* viewport = w->lstFiles->viewport();
        const QPoint at = w->lstFiles->LineRect(0).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 1, 0));
        QProgressDialog* progress = nullptr;
        QTRY_VERIFY((progress = w->findChild<QProgressDialog*>()) && progress->isVisible());
        progress->findChild<QPushButton*>()->click();
        QTRY_COMPARE(dialogs->Messages.size(), 1);
        backgroundrun::SetWorkerHook({});
        EntryTransfer::SetDragHandler({});
        QVERIFY(!offered);
        QCOMPARE(dialogs->Messages[0].Prompt,
                 QString("1 entry was extracted.\nCancelled: 2 entries were not extracted."));
    }

    // Extract asks once before replacing files; the answer decides what happens to them.
    void replaceQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArrayList>("files"); // A.TXT, B.TXT, BB.TXT afterwards
        QTest::addColumn<QString>("message");      // empty: none
        QTest::newRow("Replace") << 0 << QByteArrayList{"alpha", "bravo", "charlie"}
                                 << "Extraction complete.";
        QTest::newRow("Keep Existing")
            << 1 << QByteArrayList{"alpha", "old", "old"}
            << "Extraction complete.\n\nB.TXT: kept the existing file\nBB.TXT: kept the existing "
               "file";
        QTest::newRow("Cancel") << 2 << QByteArrayList{"", "old", "old"} << "";
    }
    void replaceQuestion() {
        QFETCH(int, answer);
        QFETCH(QByteArrayList, files);
        QFETCH(QString, message);
        auto w = open("three.dat");
        QVERIFY(w);
        QTemporaryDir out;
        testfiles::Write(out.filePath("B.TXT"), "old");
        testfiles::Write(out.filePath("BB.TXT"), "old");
        w->cmdSelectAll->click();
        dialogs->Answer = answer;
        dialogs->Answers << out.path();
        w->cmdExtract->click();
        QCOMPARE(dialogs->Questions.size(), 1);
        QCOMPARE(dialogs->Questions[0].Prompt,
                 "2 files in " + QDir::toNativeSeparators(out.path()) +
                     " would be replaced:\n\nB.TXT\nBB.TXT\n\nReplace them with the entries, or "
                     "keep the existing files?");
        QCOMPARE(dialogs->Questions[0].Buttons,
                 (QStringList{"Replace", "Keep Existing", "Cancel"}));
        QCOMPARE(dialogs->Questions[0].Title, QString("Replace files?"));
        if (!message.isEmpty())
            QTRY_COMPARE(dialogs->Messages.size(), 1);
        QCOMPARE(QByteArrayList({testfiles::Read(out.filePath("A.TXT")),
                                 testfiles::Read(out.filePath("B.TXT")),
                                 testfiles::Read(out.filePath("BB.TXT"))}),
                 files);
        QCOMPARE(dialogs->Messages.isEmpty() ? QString() : dialogs->Messages[0].Prompt, message);
    }

    // A wide image opens fitted to the window; the zoom steps by a quarter.
    void imageZoom() {
        auto w = open("view.dat");
        frmView* v = view(*w, 6);
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        const QWidget* image = v->scrPicture->widget();
        QVERIFY(image->width() < v->width());
        action(*v, "mnuViewActualSize")->trigger();
        QCOMPARE(image->size(), QSize(3000, 20));
        action(*v, "mnuViewZoomIn")->trigger();
        QCOMPARE(v->lblStatus->text(), QString("PNG, 3000 × 20 pixels, 125 %"));
        action(*v, "mnuViewZoomOut")->trigger();
        action(*v, "mnuViewZoomOut")->trigger();
        QCOMPARE(v->lblStatus->text(), QString("PNG, 3000 × 20 pixels, 80 %"));
        action(*v, "mnuViewFit")->trigger();
        QVERIFY(image->width() < v->width());
    }

    // Typing moves the current line to the next name that starts with the letters typed; the
    // selection stays as it was.
    void typeAhead() {
        auto w = open("three.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        w->lstFiles->setFocus();
        QTest::keyClicks(w->lstFiles, "bb");
        QCOMPARE(w->lstFiles->CurrentPosition(), 2);
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{0});
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
