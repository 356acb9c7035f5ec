#include "ui/main/frm.h"

#include "archive/Directory.h"
#include "archive/Extract.h"
#include "settings/clsINI.h"
#include "settings/modSettingsFile.h"
#include "ui/ElidedLabel.h"
#include "ui/FocusCues.h"
#include "ui/PathText.h"
#include "ui/about/frmAbout.h"
#include "ui/main/ArchiveChecks.h"
#include "ui/main/ArchiveEditor.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/EntryMenu.h"
#include "ui/main/EntryStatus.h"
#include "ui/main/EntryTransfer.h"
#include "ui/main/ExistingFiles.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/ExtractionRun.h"
#include "ui/main/FileListBox.h"
#include "winutil/clsResizeLimits.h"
#include "winutil/modBrowseForFolder.h"
#include "winutil/modDrawText.h"
#include "winutil/modMsgBox.h"
#include "winutil/modScreen.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(true); // Enter presses the focused button itself
    return button;
}

// Runs an action for each event of one type that a widget receives; the action returns true
// when it has handled the event.
class EventHook : public QObject {
public:
    EventHook(QWidget* widget, QEvent::Type type, std::function<bool(QEvent*)> action)
        : QObject(widget), type_(type), action_(std::move(action)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->type() == type_ && action_(event);
    }

private:
    QEvent::Type type_;
    std::function<bool(QEvent*)> action_;
};

// Shows the widget's tooltip as plain text, exactly as it was given: Qt reads a tooltip that
// looks like markup as markup.
void ShowToolTipsAsPlainText(QWidget* widget) {
    new EventHook(widget, QEvent::ToolTip, [widget](QEvent* event) {
        const QString text = widget->toolTip();
        if (!Qt::mightBeRichText(text))
            return false;
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
                               QStringLiteral("</p>"),
                           widget);
        return true;
    });
}

// Loads the settings file from its place, reporting the store's failures in message boxes.
modSettingsFile::Place OpenSettings(clsINI& ini, const QString& appPath) {
    clsINI::SetFailureHandler([](const QString& Prompt, int Buttons, const QString& Title) {
        modMsgBox::MsgBox(Prompt, Buttons, Title);
    });
    const modSettingsFile::Place place = modSettingsFile::Choose(appPath);
    ini.LoadINI(place.FileName);
    ini.SetCreateFolder(place.CreateFolder);
    return place;
}

// What a screen reader announces for each control: its name, and what it does.
void DescribeControls(const frm& w) {
    const struct {
        QWidget* Control;
        const char* Name;
        const char* Description;
    } controls[] = {
        {w.lblFolder, "Folder", "The folder whose files are listed"},
        {w.cmdBrowse, "Choose the folder", "Opens a dialog to choose the folder to list"},
        {w.File, "Files", "The files of the folder; choosing an archive lists its entries"},
        {w.lstFiles, "Entries",
         "The entries of the listed archive, with their sizes and offsets; Space selects or "
         "deselects one, a column's header sorts by it"},
        {w.cmdSelectAll, "Select All", "Selects every entry"},
        {w.cmdExtract, "Extract", "Copies the selected entries into a folder you choose"},
    };
    for (const auto& c : controls) {
        c.Control->setAccessibleName(QString::fromLatin1(c.Name));
        c.Control->setAccessibleDescription(QString::fromLatin1(c.Description));
    }
    // The status line's name is its text, which screen readers follow as it changes.
    w.statusBar()->setAccessibleName(QStringLiteral("Status line"));
    w.statusBar()->setAccessibleDescription(QStringLiteral("What the entry list shows"));
    w.lblStatus->setAccessibleDescription(
        QStringLiteral("The listed archive's entries and size, the selection's, and what was "
                       "written last"));
}

// The remembered folder as the settings file gives it. A settings file that is not UTF-8 is read
// one byte per character: a folder whose name is not UTF-8 is then those bytes, taken when the
// text as UTF-8 names no folder.
QString RememberedFolder(const QString& folder) {
#ifndef _WIN32
    const auto above = [](char16_t limit) { return [limit](QChar c) { return c >= limit; }; };
    const bool latin1 = std::none_of(folder.begin(), folder.end(), above(256)) &&
                        std::any_of(folder.begin(), folder.end(), above(128));
    if (latin1 && !pathtext::IsFolder(folder)) {
        const QString asBytes = pathtext::TextFromBytes(folder.toLatin1().toStdString());
        if (pathtext::IsFolder(asBytes))
            return asBytes;
    }
#endif
    return folder;
}

// The folder as the settings file keeps it: a name whose bytes are not UTF-8 as those bytes, one
// a character (which RememberedFolder reads back), since UTF-8 has no form for them.
QString SettingsText(const QString& folder) {
#ifndef _WIN32
    const QByteArray bytes = QByteArray::fromStdString(pathtext::BytesFromText(folder));
    if (QString::fromUtf8(bytes).toUtf8() != bytes)
        return QString::fromLatin1(bytes);
#endif
    return folder;
}

// Why a path cannot be opened, in the words the command-line tool uses.
QString Problem(const archive::OpenError& error) {
    return QString::fromStdString(archive::Describe(error));
}
QString Problem(const std::error_code& ec, archive::OpenError::Subject of) {
    using Kind = archive::OpenError::Kind;
    const bool denied =
        ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted;
    return Problem({denied ? Kind::PermissionDenied : Kind::Unreadable, of, ec});
}

// The local files and folders among dropped URLs, as pathtext::PathText gives them. Elsewhere
// than on Windows a path is taken from the URL's percent-encoded bytes, which keep a name that
// is not valid UTF-8.
QStringList DroppedPaths(const QMimeData* mime) {
    QStringList paths;
    if (mime && mime->hasUrls())
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) {
#ifdef _WIN32
                paths << url.toLocalFile();
#else
                const QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
                const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
                paths << pathtext::PathText(
                    QByteArray::fromPercentEncoding((host.isEmpty() ? "" : "//" + host) + path)
                        .toStdString());
#endif
            }
    return paths;
}

QString& AppPathOverride() {
    static QString path;
    return path;
}

} // namespace

QString frm::AppPath() {
    const QString& path = AppPathOverride();
    return path.isEmpty() ? QCoreApplication::applicationDirPath() : path;
}

void frm::SetAppPath(const QString& path) {
    AppPathOverride() = path;
}

frm::frm(QWidget* parent) : clsForm(parent) {
    setWindowTitle(QStringLiteral("Quillmarrow"));
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/icons/quillmarrow-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setObjectName(QStringLiteral("frm"));

    QFont font = this->font(); // the platform's UI font at the window's 8.25 points
    font.setPointSizeF(8.25);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // Controls in creation order, at their design geometry (twips).
    cmdBrowse = MakeButton(client, "cmdBrowse", QStringLiteral("&...")); // Alt+. presses it
    modScreen::Move(cmdBrowse, 4080, 120, 315, 315);
    File = new FileListBox(client);
    File->setObjectName(QStringLiteral("File"));
    modScreen::Move(File, 120, 480, 2535, 3990);
    cmdSelectAll = MakeButton(client, "cmdSelectAll", QStringLiteral("Select &All"));
    modScreen::Move(cmdSelectAll, 2760, 3720, 3135, 315);
    cmdExtract = MakeButton(client, "cmdExtract", QStringLiteral("Extract"));
    modScreen::Move(cmdExtract, 2760, 4080, 3255, 315);
    lstFiles = new EntryListBox(client);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    modScreen::Move(lstFiles, 2760, 480, 3615, 1410);
    lblFolder = new QLabel(client);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setTextFormat(Qt::PlainText);
    lblFolder->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    modScreen::Move(lblFolder, 120, 120, 3975, 315);

    // The status line lies below the client area, which keeps its layout; a line too long
    // for the window's width ends in "…" and shows whole as its tooltip.
    lblStatus = new ElidedLabel(statusBar());
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // never widens it
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addWidget(lblStatus, 1);
    auto* status = new EntryStatus(lstFiles, lblStatus, MaxListedEntries);

    setTabOrder(lstFiles, cmdExtract);
    setTabOrder(cmdExtract, cmdSelectAll);
    setTabOrder(cmdSelectAll, File);
    setTabOrder(File, cmdBrowse);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFileRefresh = mnuFile->addAction(QStringLiteral("&Refresh"));
    mnuFileRefresh->setObjectName(QStringLiteral("mnuFileRefresh"));
    mnuFileRefresh->setShortcut(Qt::Key_F5); // reads the current folder again
    mnuFileNew = mnuFile->addAction(QStringLiteral("&New Archive..."));
    mnuFileNew->setObjectName(QStringLiteral("mnuFileNew"));
    mnuFileCompact = mnuFile->addAction(QStringLiteral("&Compact"));
    mnuFileCompact->setObjectName(QStringLiteral("mnuFileCompact"));
    mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));
    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));

    connect(cmdBrowse, &QPushButton::clicked, this, &frm::cmdBrowse_Click);
    connect(File, &FileListBox::Click, this, &frm::File_Click);
    connect(File, &FileListBox::PathChange, this, &frm::File_PathChange);
    connect(cmdSelectAll, &QPushButton::clicked, this, &frm::cmdSelectAll_Click);
    connect(cmdExtract, &QPushButton::clicked, this, &frm::cmdExtract_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frm::mnuFileExit_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frm::mnuHelpAbout_Click);
    // The entry list's menu, what takes entries out of the window, and what writes archives.
    mnuEntry = new EntryMenu(lstFiles);
    connect(lstFiles, &EntryListBox::MenuRequested, mnuEntry, [this](const QPoint& at, int row) {
        mnuEntry->Popup(at, row, cmdExtract->isEnabled());
    });
    connect(mnuEntry->mnuEntryExtract, &QAction::triggered, cmdExtract, &QPushButton::click);
    auto* transfer = new EntryTransfer(lstFiles, this);
    connect(mnuEntry, &EntryMenu::Open, transfer, &EntryTransfer::Open);
    connect(lstFiles, &EntryListBox::Open, transfer, &EntryTransfer::Open);
    connect(lstFiles, &EntryListBox::Drag, transfer, &EntryTransfer::Drag);
    auto* editor = editor_ = new ArchiveEditor(lstFiles, this);
    connect(mnuEntry, &EntryMenu::Replace, editor, &ArchiveEditor::Replace);
    connect(mnuEntry->mnuEntryAdd, &QAction::triggered, editor, &ArchiveEditor::Add);
    // F2 and Delete write only while the listing is active, as the menu's items do.
    connect(mnuEntry, &EntryMenu::Rename, editor, [this, editor](int row) {
        if (cmdExtract->isEnabled())
            editor->Rename(row);
    });
    connect(mnuEntry, &EntryMenu::Remove, editor, [this, editor](const std::vector<int>& rows) {
        if (cmdExtract->isEnabled())
            editor->Remove(rows);
    });
    connect(mnuFileNew, &QAction::triggered, editor, &ArchiveEditor::NewArchive);
    // Compact writes, so it too waits for an active listing.
    connect(mnuFile, &QMenu::aboutToShow, this,
            [this] { mnuFileCompact->setEnabled(cmdExtract->isEnabled()); });
    connect(mnuFileCompact, &QAction::triggered, editor, [this, editor] {
        if (cmdExtract->isEnabled())
            editor->Compact();
    });
    connect(File, &FileListBox::PathChange, editor,
            [this, editor] { editor->SetFolder(File->Path()); });
    connect(editor, &ArchiveEditor::ListAgain, this, &frm::OpenPath);
    connect(editor, &ArchiveEditor::Written, status, &EntryStatus::Note);
    connect(mnuEntry, &EntryMenu::Noted, status, &EntryStatus::Note);
    auto* checks = new ArchiveChecks(lstFiles, this);
    checks->AddActions(mnuFile, mnuFileNew);
    connect(mnuEntry, &EntryMenu::CopyChecksum, checks, &ArchiveChecks::CopyChecksum);
    connect(File, &FileListBox::PathChange, checks,
            [this, checks] { checks->SetFolder(File->Path()); });
    extraction_ = std::make_unique<ExtractionRun>(this);
    connect(extraction_.get(), &ExtractionRun::Finished, this, &frm::Extraction_Finished);

    connect(mnuFileRefresh, &QAction::triggered, File, &FileListBox::Refresh);

    cmdBrowse->setToolTip(QStringLiteral("Choose the folder"));
    ShowToolTipsAsPlainText(cmdBrowse);
    ShowToolTipsAsPlainText(lblFolder);
    // The folder is fitted again to whatever width the label gets.
    new EventHook(lblFolder, QEvent::Resize, [this](QEvent* event) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        const QVariant folder = lblFolder->property("Tag");
        if (folder.isValid() && resize->size().width() != resize->oldSize().width())
            modDrawText::FitPath(this, lblFolder, folder.toString());
        return false;
    });
    // Extract shows itself as the default button while Enter runs it. It is no auto-default
    // button, which would lose that look each time the focus leaves it.
    cmdExtract->setAutoDefault(false);
    new EventHook(cmdExtract, QEvent::EnabledChange, [this](QEvent*) {
        cmdExtract->setDefault(cmdExtract->isEnabled());
        return false;
    });
    // Styles draw a default button and a focused one alike: the focus gets a cue of its own.
    focuscues::ShowFocusRect(cmdExtract, 3);
    DescribeControls(*this);
    // Warnings raised before the window was on the screen show over it once it is painted, when
    // the window manager has placed it.
    new EventHook(this, QEvent::Paint, [this](QEvent*) {
        if (!warnings_.isEmpty())
            QTimer::singleShot(0, this, [this] {
                for (const auto& [prompt, title] : std::exchange(warnings_, {}))
                    Warn(prompt, title);
            });
        return false;
    });

    // The design's client area; the frame, the menu bar and the status line come on top.
    const QSize client0(modScreen::PixelsX(6675), modScreen::PixelsY(4515));
    resize(client0.width(),
           client0.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    // A file or folder dropped on the window is opened; files dropped on the entry list are
    // added to the listed archive.
    setAcceptDrops(true);

    // The window opens with both buttons disabled, whether or not setting the path below
    // raises a path change.
    cmdSelectAll->setEnabled(false);
    cmdExtract->setEnabled(false);
    Form_Load();
    lstFiles->setFocus();
}

frm::~frm() = default;

void frm::Form_Load() {
    ini_ = std::make_unique<clsINI>();
    limits_ = std::make_unique<clsResizeLimits>();
    // The status line lies below the client area: the window's least height grows by its
    // height, so that the client area's stays.
    const double statusLine = modScreen::TwipsY(statusBar()->sizeHint().height());
    limits_->AddLimits(this, 6795, 4920 + statusLine, 0, 0, false);
    const QString appPath = AppPath();
    const modSettingsFile::Place place = OpenSettings(*ini_, appPath);
    // An installed copy starts in the home folder, an unpacked one in its own.
    const QString start = place.Installed ? QDir::homePath() : appPath;
    const QString folder = RememberedFolder(
        ini_->ReadString(QStringLiteral("General"), QStringLiteral("Folder"), start));
    if (folder == start || pathtext::IsFolder(folder)) {
        ShowFolder(folder);
        return;
    }
    // The remembered value stays until the user chooses another folder.
    Warn(QStringLiteral("The remembered folder %1 does not exist. The window shows %2 instead.")
             .arg(pathtext::ShownText(folder), pathtext::ShownText(start)),
         QStringLiteral("Folder not found"));
    ShowFolder(start);
}

void frm::Form_Unload() {
    limits_.reset(); // puts the window's own size limits back while it still exists
    ini_.reset();    // saves nothing: every change was written when it was made
}

void frm::closeEvent(QCloseEvent* event) {
    // A close during a run never comes here: the run asks, and closes the window once it has
    // ended (see BackgroundRun).
    Form_Unload();
    event->accept();
}

void frm::Quit() {
    if (!BackgroundRun::StopAndCloseOwner(this))
        close();
}

void frm::Warn(const QString& Prompt, const QString& Title) {
    if (isVisible())
        modMsgBox::MsgBox(Prompt, modMsgBox::vbExclamation, Title, this);
    else
        warnings_.append({Prompt, Title});
}

void frm::resizeEvent(QResizeEvent* event) {
    clsForm::resizeEvent(event);
    Form_Resize();
}

void frm::changeEvent(QEvent* event) {
    clsForm::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        Form_Resize();
}

void frm::Form_Resize() {
    if (isMinimized())
        return;
    using namespace modScreen;
    // Each step reads what the steps before it wrote. Sizes that would come out negative in
    // a client area smaller than the layout allows are held at 0.
    const auto nonNegative = [](double v) { return std::max(0.0, v); };
    SetLeft(cmdBrowse, ScaleWidth() - Width(cmdBrowse) - 120);
    SetWidth(lblFolder, nonNegative(Left(cmdBrowse) - 120));
    SetHeight(File, nonNegative(ScaleHeight() - Top(File) - 120));
    const double entryLeft = Left(File) + Width(File) + 120;
    Move(cmdExtract, entryLeft, ScaleHeight() - Height(cmdExtract) - 120,
         nonNegative(ScaleWidth() - entryLeft - 120));
    Move(cmdSelectAll, Left(cmdExtract), Top(cmdExtract) - Height(cmdSelectAll) - 120,
         Width(cmdExtract));
    Move(lstFiles, Left(lstFiles), Top(lstFiles), Width(cmdExtract),
         nonNegative(Top(cmdSelectAll) - Top(lstFiles) - 120));
}

void frm::keyPressEvent(QKeyEvent* event) {
    // Extract is the window's default button: Enter runs it while it is enabled, unless
    // another button has the focus (which then takes the key itself). The keypad's Enter
    // carries the keypad modifier and counts as Enter.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && cmdExtract->isEnabled() && plain) {
        cmdExtract->click();
        return;
    }
    clsForm::keyPressEvent(event);
}

void frm::cmdBrowse_Click() {
    const QString folder = modBrowseForFolder::BrowseForFolder(
        lblFolder->property("Tag").toString(), this, QStringLiteral("Select a folder"));
    if (folder.isEmpty())
        return;
    ShowFolder(folder);
    ini_->WriteValue(QStringLiteral("General"), QStringLiteral("Folder"), SettingsText(folder));
}

void frm::File_Click() {
    ListArchiveEntries(File->FilePath());
}

void frm::File_PathChange() {
    cmdSelectAll->setEnabled(false);
    cmdExtract->setEnabled(false);
}

void frm::cmdSelectAll_Click() {
    lstFiles->SelectAll();
}

void frm::cmdExtract_Click() {
    if (!ChooseEntriesToExtract())
        return;
    const QString output = modBrowseForFolder::BrowseForOutputFolder(
        File->Path(), this, QStringLiteral("Select the output folder"));
    if (output.isEmpty())
        return;
    // The user may have typed a folder that does not exist yet: it is made now, with its
    // missing parents.
    std::error_code ec;
    std::filesystem::create_directories(pathtext::NativePath(output), ec);
    if (ec) {
        const ClosingMessage m =
            NothingExtracted(output, QStringLiteral("cannot create the folder: ") +
                                         QString::fromStdString(ec.message()));
        modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
        return;
    }
    // The entries shown are those of the archive listed last, whatever is highlighted now.
    ExtractSelectedEntries(lstFiles->ListedArchive(), output);
}

bool frm::ChooseEntriesToExtract() {
    const QString nothing = QStringLiteral("Nothing to extract");
    if (lstFiles->ListedArchive().empty()) {
        modMsgBox::MsgBox(QStringLiteral("No archive is listed. Choose an archive in the file "
                                         "list to list its entries."),
                          modMsgBox::vbExclamation, nothing, this);
        return false;
    }
    const QString name = pathtext::ShownPath(lstFiles->ListedArchive().filename());
    const int count = lstFiles->EntryCount();
    if (count == 0) {
        modMsgBox::MsgBox(name + QStringLiteral(" has no entries."), modMsgBox::vbExclamation,
                          nothing, this);
        return false;
    }
    if (lstFiles->HasSelection())
        return true;
    const QString prompt =
        count == 1 ? QStringLiteral("No entry is selected. Extract the one entry of %2?")
                   : QStringLiteral("No entry is selected. Extract all %1 entries of %2?");
    if (modMsgBox::MsgBox(prompt.arg(count).arg(name), modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                          QStringLiteral("Extract all entries"), this) != modMsgBox::vbYes)
        return false;
    cmdSelectAll_Click();
    return true;
}

void frm::mnuFileExit_Click() {
    close();
}

void frm::mnuHelpAbout_Click() {
    frmAbout about(this);
    about.exec();
}

void frm::ListArchiveEntries(const std::filesystem::path& ArchivePath) {
    lstFiles->ClearListing();
    archive::Directory dir = archive::ReadDirectory(ArchivePath, MaxListedEntries);
    using Kind = archive::OpenError::Kind;
    const Kind what = dir.Error.What;
    if (what == Kind::NotFound || what == Kind::IsFolder || what == Kind::NotRegularFile)
        return;
    if (dir.Error) {
        modMsgBox::MsgBox(QStringLiteral("frm.ListArchiveEntries: ") +
                              QString::fromStdString(archive::Describe(dir.Error)),
                          modMsgBox::vbCritical, QStringLiteral("Could not read archive"));
        return;
    }
    lstFiles->ShowListing(ArchivePath, std::move(dir.Entries));
    cmdSelectAll->setEnabled(true);
    cmdExtract->setEnabled(true);
    if (dir.LeftOut)
        modMsgBox::MsgBox(QStringLiteral("This archive has more than %1 entries. Only the first "
                                         "%1 are listed; the rest were left out.")
                              .arg(MaxListedEntries),
                          modMsgBox::vbExclamation, QStringLiteral("Too many entries"));
}

void frm::ExtractSelectedEntries(const std::filesystem::path& ArchivePath,
                                 const QString& OutputFolder) {
    ExtractionRequest request = lstFiles->Extraction(lstFiles->SelectedPositions());
    request.Archive = ArchivePath;
    request.OutputFolder = pathtext::NativePath(OutputFolder);
    const ReplaceAnswer answer = AskBeforeReplacing(request, this);
    if (answer == ReplaceAnswer::Cancel)
        return;
    request.KeepExisting = answer == ReplaceAnswer::KeepExisting;
    extraction_->Start(std::move(request));
}

void frm::Extraction_Finished(const archive::ExtractReport& report) {
    if (extraction_->ClosesOwner()) // the user asked to close, knowing the run was cancelled
        return;
    const ClosingMessage m = ExtractSummary(report, extraction_->Request());
    modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
}

void frm::ShowFolder(const QString& folder) {
    modDrawText::FitPath(this, lblFolder, pathtext::ShownText(folder));
    File->SetPath(folder);
}

void frm::OpenPath(const QString& path) {
    namespace fs = std::filesystem;
    using Kind = archive::OpenError::Kind;
    using Subject = archive::OpenError::Subject;
    const auto warn = [&](const QString& problem) {
        Warn(pathtext::ShownText(path) + QStringLiteral(": ") + problem,
             QStringLiteral("Could not open"));
    };
    std::error_code ec;
    const fs::path native = fs::absolute(pathtext::NativePath(path), ec);
    const fs::file_status status = fs::status(native, ec);
    if (fs::is_directory(status)) {
        ShowFolder(QDir::cleanPath(pathtext::PathText(native)));
        if (File->ReadError())
            warn(Problem(File->ReadError(), Subject::OutputFolder)); // worded for a folder
        return;
    }
    if (status.type() == fs::file_type::not_found) {
        warn(QStringLiteral("no such file or folder"));
        return;
    }
    if (ec || !fs::is_regular_file(status)) {
        warn(ec ? Problem(ec, Subject::Archive)
                : Problem({Kind::NotRegularFile, Subject::Archive, {}}));
        return;
    }
    // Read again when it is the folder shown, since the file may be new; the listing shown
    // stays valid until the file is listed.
    ShowFolder(QDir::cleanPath(pathtext::PathText(native.parent_path())));
    // The file is listed as a click on it lists it, so that Extract reads the same file.
    if (File->SetFileName(native.filename()))
        return;
    if (!File->ReadError()) {
        warn(QStringLiteral("not in the file list (hidden files are left out)"));
        return;
    }
    // A folder that may be searched but not listed: its files can still be read.
    ListArchiveEntries(native);
}

void frm::dragEnterEvent(QDragEnterEvent* event) {
    // Offered as a copy, so that a source that moves what it drags never deletes the file.
    // Entries dragged out of the window's own list are not taken back, neither opened nor
    // added to the archive they came from.
    if (!extraction_->IsRunning() && !event->source() &&
        !DroppedPaths(event->mimeData()).isEmpty() && (event->possibleActions() & Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

bool frm::DropAdds(const QPoint& at) const {
    return cmdExtract->isEnabled() && !lstFiles->ListedArchive().empty() &&
           lstFiles->rect().contains(lstFiles->mapFrom(this, at));
}

void frm::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedPaths(event->mimeData());
    if (extraction_->IsRunning() || event->source() || paths.isEmpty() ||
        !(event->possibleActions() & Qt::CopyAction))
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Files (not folders) dropped on the entry list are added, after a question asked once the
    // drop is over (the program the files came from waits for its end); anything else is
    // opened.
    const bool files = std::none_of(paths.begin(), paths.end(),
                                    [](const QString& path) { return pathtext::IsFolder(path); });
    if (files && DropAdds(event->position().toPoint()))
        QMetaObject::invokeMethod(
            editor_, [this, paths] { editor_->AddDropped(paths); }, Qt::QueuedConnection);
    else
        OpenPath(paths.first());
}
