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
#include <QComboBox>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
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
#include <QTimer>
#include <QtEndian>

using testfiles::Record;
using namespace Qt::StringLiterals;

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

QByteArray Encoded(const QImage& image, const char* format = "PNG") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A white GIF of 1 × 1 pixels: Qt reads GIF but does not write it.
const QByteArray Gif("GIF89a\x01\0\x01\0\x80\0\0\xff\xff\xff\0\0\0"
                     ",\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
                     35);

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
            testfiles::Archive({{"IMAGE.PNG", Encoded(image)},
                                {"TEXT.TXT", "hello\nw\xc3\xb6rld"},
                                {"BIN.DAT", QByteArray("AB\0\x01\xff", 5)},
                                {"HUGE.PNG", PngHeader(60000, 60000)},
                                {"LONG.TXT", QByteArray(frmView::MaxTextBytes + 5, 'x')
                                                 .replace("xxxxxxxxxxxxxxxx", "xxxxxxxxxxxxxxx\n")},
                                {"LATIN1.TXT", "caf\xe9"},
                                {"WIDE.PNG", Encoded(image.scaled(3000, 20))},
                                {"IMAGE.JPG", Encoded(image, "JPEG")},
                                {"IMAGE.GIF", Gif},
                                {"IMAGE.ICO", Encoded(image, "ICO")}}));
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
    // the window: with `stop`, the run is held until the progress dialog's Cancel is pressed or
    // the window is closed (Yes to the question).
    void checks_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("picked"); // the file the dialog gives
        QTest::addColumn<QString>("stop"); // "", "cancel" or "close"
        QTest::addColumn<QString>("summary"); // or the clipboard, or the message shown then
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("verify against a list: failed, not listed, missing")
            << "three.dat" << "mnuFileVerify" << "three.sum" << ""
            << "DIR/three.dat: 1 OK, 1 failed, 1 missing, 1 not listed"
            << QStringList{"B.TXT: FAILED", "BB.TXT: not listed", "GONE: missing"};
        QTest::newRow("compare with another archive: moved, changed")
            << "three.dat" << "mnuFileCompare" << "changed.dat" << ""
            << "DIR/three.dat -> DIR/changed.dat: 0 added, 0 removed, 1 changed, 1 moved"
            << QStringList{"moved A.TXT (position 0 -> 1)", "changed BB.TXT (7 -> 7 bytes)"};
        QTest::newRow("compare with itself")
            << "three.dat" << "mnuFileCompare" << "three.dat" << ""
            << "DIR/three.dat -> DIR/three.dat: the same entries with the same data in the same "
               "order"
            << QStringList{};
        QTest::newRow("verify against a list that does not exist")
            << "three.dat" << "mnuFileVerify" << "none.sum" << ""
            << "DIR/none.sum: the list does not exist" << QStringList{};
        QTest::newRow("a cancelled comparison says so")
            << "three.dat" << "mnuFileCompare" << "changed.dat" << "cancel"
            << "Cancelled. DIR/three.dat -> DIR/changed.dat: 0 added, 0 removed, 0 changed, 0 moved"
            << QStringList{};
        QTest::newRow("closing during a comparison: Yes cancels it and closes, no lines shown")
            << "three.dat" << "mnuFileCompare" << "changed.dat" << "close"
            << "A check is running. Cancel it and close the window?" << QStringList{};
        QTest::newRow("copy the checksum of the current line")
            << "three.dat" << "mnuEntryCopyChecksum" << "" << ""
            << QString(QCryptographicHash::hash("bravo", QCryptographicHash::Sha256).toHex())
            << QStringList{};
        QTest::newRow("copy the checksum of an entry cut short")
            << "odd.dat" << "mnuEntryCopyChecksum" << "" << ""
            << "SHORT: cut short by the end of the archive (4 of 9 bytes written)" << QStringList{};
    }
    void checks() {
        QFETCH(QString, archive);
        QFETCH(QString, action);
        QFETCH(QString, picked);
        QFETCH(QString, stop);
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
        if (!stop.isEmpty())
            backgroundrun::SetWorkerHook([](std::uint64_t, std::stop_token stop) {
                while (!stop.stop_requested())
                    QThread::msleep(5);
            });
        TestView::action(*w, qPrintable(action))->trigger();
        if (!stop.isEmpty()) {
            QProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = w->findChild<QProgressDialog*>()) && progress->isVisible());
            QVERIFY(progress->labelText().startsWith("Comparing "));
            if (stop == "cancel")
                progress->findChild<QPushButton*>()->click();
        }
        if (stop == "close") {
            dialogs->Replies << modMsgBox::vbYes;
            QVERIFY(!w->close());
            QTRY_VERIFY(!w->isVisible() && !w->findChild<QProgressDialog*>());
            QCOMPARE(dialogs->Messages.size(), 1);
            QCOMPARE(dialogs->Messages[0].Prompt, summary);
            QVERIFY(!w->findChild<frmChecks*>());
        } else if (picked.isEmpty() || summary.endsWith("does not exist")) { // no window of lines
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
        // The formats that need Qt's image plugins, which the Windows package carries.
        QTest::newRow("JPEG image") << "view.dat" << 7 << "image" << "JPEG, 40 × 30 pixels, 100 %";
        QTest::newRow("GIF image") << "view.dat" << 8 << "image" << "GIF, 1 × 1 pixels, 100 %";
        QTest::newRow("ICO image") << "view.dat" << 9 << "image" << "ICO, 40 × 30 pixels, 100 %";
        QTest::newRow("UTF-8 text") << "view.dat" << 1 << "text"
                                    << "Text, 12 bytes";
        QTest::newRow("binary as hex") << "view.dat" << 2 << "hex"
                                       << "5 bytes";
        QTest::newRow("an image header claiming 60000 × 60000 pixels")
            << "view.dat" << 3 << "hex"
            << "PNG image of 60000 × 60000 pixels, too large to show, shown as hex; 45 bytes";
        QTest::newRow("long text is cut") << "view.dat" << 4 << "text"
                                          << "Text, 1048581 bytes; showing the first 1048576 bytes";
        QTest::newRow("not UTF-8: 8-bit text") << "view.dat" << 5 << "text"
                                               << "Text, 4 bytes";
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

    // Text that is not UTF-8 is read in the code page guessed, which the encoding box shows
    // and changes; Ctrl+H still shows hex. On Windows the guess is the system's code page.
    void encodings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("guessed"); // "": shown as hex
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("chosenText");
        QTest::newRow("Latin-1") << QByteArray("Gr\xfc\xdf" "e aus K\xf6ln") << "Latin-1"
                                 << u"Grüße aus Köln"_s << "Code page 437"
                                 << u"Grⁿ▀e aus K÷ln"_s;
        QTest::newRow("code page 437") << QByteArray("Gr\x81\xe1" "e aus K\x94ln")
                                       << "Code page 437" << u"Grüße aus Köln"_s
                                       << "Windows-1252" << u"Gr\uFFFDáe aus K”ln"_s;
        QTest::newRow("Windows-1252") << QByteArray("\x93Gr\xfc\xdf" "e\x94 \x80")
                                      << "Windows-1252" << u"“Grüße” €"_s << "Latin-1"
                                      << u"\u0093Grüße\u0094 \u0080"_s;
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << "UTF-8" << u"Grüße"_s
                               << "Latin-1" << u"GrÃ¼Ã\u009Fe"_s;
        QTest::newRow("control bytes: no text") << QByteArray("a\x01\xe9") << "" << "" << ""
                                                << "";
    }
    void encodings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, guessed);
        QFETCH(QString, text);
        QFETCH(QString, chosen);
        QFETCH(QString, chosenText);
        QTemporaryDir dir;
        testfiles::Write(dir.filePath("t.dat"), testfiles::Archive({{"T.TXT", bytes}}));
        frm w;
        w.OpenPath(dir.filePath("t.dat"));
        frmView* v = view(w, 0);
        QVERIFY(v);
        auto* encoding = v->findChild<QComboBox*>("cboEncoding");
        QCOMPARE(encoding->isEnabled(), !guessed.isEmpty());
        QCOMPARE(v->pages->currentWidget(),
                 guessed.isEmpty() ? static_cast<QWidget*>(v->hexData) : v->txtText);
        if (guessed.isEmpty())
            return;
#ifndef _WIN32
        QCOMPARE(encoding->currentText(), guessed);
        QCOMPARE(v->txtText->toPlainText(), text);
#endif
        encoding->setCurrentIndex(encoding->findText(chosen));
        emit encoding->activated(encoding->currentIndex()); // as the user's choice
        QCOMPARE(v->txtText->toPlainText(), chosenText);
        v->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), v);
        QTest::keyClick(v, Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(v->pages->currentWidget(), v->hexData);
        QVERIFY(!encoding->isEnabled());
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
        QTest::newRow("no program opens it: said so")
            << "view.dat" << 2 << QByteArray() << "No program could open this file:\n";
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
        const bool unopened = problem.startsWith("No program");
        if (unopened) // openUrl returns false
            QDesktopServices::setUrlHandler("file", urls.get(), "noSuchSlot");
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
        if (unopened) {
            QTRY_COMPARE(dialogs->Messages.size(), 1);
            QVERIFY2(dialogs->Messages[0].Prompt.startsWith(problem) &&
                         QFile::exists(dialogs->Messages[0].Prompt.mid(problem.size())),
                     qPrintable(dialogs->Messages[0].Prompt));
            QCOMPARE(dialogs->Messages[0].Title, QString("Could not open file"));
        } else if (problem.isEmpty()) {
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
    // alone: the drop target that asks for them gets whole files, and a second drag the same
    // copies. The selection stays as it was.
    void dragOut_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::addColumn<int>("drags");
        QTest::newRow("selected lines") << 2 << QList<QByteArray>{"alpha", "charlie"} << 1;
        QTest::newRow("a line not selected") << 1 << QList<QByteArray>{"bravo"} << 1;
        QTest::newRow("dragged again: the same copies") << 2
                                                        << QList<QByteArray>{"alpha", "charlie"}
                                                        << 2;
    }
    void dragOut() {
        QFETCH(int, from);
        QFETCH(QList<QByteArray>, files);
        QFETCH(int, drags);
        QList<QList<QUrl>> offered;
        EntryTransfer::SetDragHandler([&](const QMimeData& mime) {
            offered << mime.urls(); // as a drop target asks for them
        });
        auto w = open("three.dat");
        QVERIFY(w);
        ClickEntry(*w, 0);
        ClickEntry(*w, 2);
        QWidget* viewport = w->lstFiles->viewport();
        const QPoint at = w->lstFiles->LineRect(from).center();
        for (int k = 0; k < drags; ++k) {
            QTest::mousePress(viewport, Qt::LeftButton, {}, at);
            QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 1, 0));
            QTRY_COMPARE(offered.size(), k + 1);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        }
        EntryTransfer::SetDragHandler({});
        QCOMPARE(offered.size(), drags);
        QCOMPARE(offered.first(), offered.last());
        QList<QByteArray> got;
        for (const QUrl& url : offered.last())
            got << testfiles::Read(url.toLocalFile());
        QCOMPARE(got, files);
        QCOMPARE(QDir(QFileInfo(offered.last().first().toLocalFile()).dir().filePath(".."))
                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"1"}); // one folder of copies
        QCOMPARE(SelectedLines(w->lstFiles), (QList<int>{0, 2}));
        QCOMPARE(dialogs->Messages, QList<RecordedMessage>{});
    }

    // A long extraction for a drop target shows the run's progress; its Cancel delivers
    // nothing.
    void cancelledDrag() {
        backgroundrun::SetWorkerHook([](std::uint64_t entriesDone, std::stop_token stop) {
            while (entriesDone == 1 && !stop.stop_requested())
                QThread::msleep(5);
        });
        auto w = open("three.dat");
        QVERIFY(w);
        w->cmdSelectAll->click();
        bool offered = false, cancelled = false;
        EntryTransfer::SetDragHandler([&](const QMimeData& mime) {
            QTimer cancel; // the progress dialog's Cancel, pressed while the target waits
            connect(&cancel, &QTimer::timeout, [&] {
                auto* progress = w->findChild<QProgressDialog*>();
                if (progress && progress->isVisible() && !std::exchange(cancelled, true))
                    progress->findChild<QPushButton*>()->click();
            });
            cancel.start(10);
            offered = !mime.urls().isEmpty();
        });
        QWidget* viewport = w->lstFiles->viewport();
        const QPoint at = w->lstFiles->LineRect(0).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 1, 0));
        backgroundrun::SetWorkerHook({});
        EntryTransfer::SetDragHandler({});
        QVERIFY(cancelled);
        QVERIFY(!offered);
        QCOMPARE(dialogs->Messages.size(), 1);
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
                 (QStringList{"&Replace", "&Keep Existing", "&Cancel"}));
        QCOMPARE(dialogs->Questions[0].Title, QString("Replace files?"));
        if (!message.isEmpty())
            QTRY_COMPARE(dialogs->Messages.size(), 1);
        QCOMPARE(QByteArrayList({testfiles::Read(out.filePath("A.TXT")),
                                 testfiles::Read(out.filePath("B.TXT")),
                                 testfiles::Read(out.filePath("BB.TXT"))}),
                 files);
        QCOMPARE(dialogs->Messages.isEmpty() ? QString() : dialogs->Messages[0].Prompt, message);
    }

    // The question itself: Enter, like Esc, cancels, which writes nothing.
    void replaceQuestionDefault() {
        auto w = open("three.dat");
        QVERIFY(w);
        QTemporaryDir out;
        testfiles::Write(out.filePath("B.TXT"), "old");
        w->cmdSelectAll->click();
        dialogs->Answers << out.path();
        modMsgBox::SetAskHandler({});
        QString enter, esc;
        modMsgBox::SetShowHandler([&](QMessageBox& box) {
            enter = box.defaultButton()->text();
            esc = box.escapeButton()->text();
            box.defaultButton()->click();
            return 0;
        });
        w->cmdExtract->click();
        modMsgBox::SetShowHandler({});
        QCOMPARE(enter, QString("&Cancel"));
        QCOMPARE(esc, QString("&Cancel"));
        QCOMPARE(testfiles::Contents(out.path()), QStringList{"B.TXT"});
        QVERIFY(dialogs->Messages.isEmpty());
    }

    // A wide image opens fitted to the window; the zoom steps by a quarter, Ctrl+= as Ctrl++.
    void imageZoom() {
        auto w = open("view.dat");
        frmView* v = view(*w, 6);
        QVERIFY(v);
        QVERIFY(QTest::qWaitForWindowExposed(v));
        const QWidget* image = v->scrPicture->widget();
        QVERIFY(image->width() < v->width());
        action(*v, "mnuViewActualSize")->trigger();
        QCOMPARE(image->size(), QSize(3000, 20));
        v->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), v);
        QTest::keyClick(v, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(v->lblStatus->text(), QString("PNG, 3000 × 20 pixels, 125 %"));
        QTest::keyClick(v, Qt::Key_Plus, Qt::ControlModifier);
        action(*v, "mnuViewZoomOut")->trigger();
        action(*v, "mnuViewZoomOut")->trigger();
        action(*v, "mnuViewZoomOut")->trigger();
        QCOMPARE(v->lblStatus->text(), QString("PNG, 3000 × 20 pixels, 80 %"));
        action(*v, "mnuViewFit")->trigger();
        QVERIFY(image->width() < v->width());
    }

    // Typing moves the current line to the next name that starts with the letters typed, also
    // after a click on another column; the selection stays as it was.
    void typeAhead() {
        auto w = open("three.dat");
        QVERIFY(w);
        QTest::mouseClick(w->lstFiles->viewport(), Qt::LeftButton, {},
                          w->lstFiles->visualRect(w->lstFiles->model()->index(0, 1)).center());
        w->lstFiles->setFocus();
        QTest::keyClicks(w->lstFiles, "bb");
        QCOMPARE(w->lstFiles->CurrentPosition(), 2);
        QCOMPARE(SelectedLines(w->lstFiles), QList<int>{0});
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
