#include "ui/main/frm.h"

#include "archive/Directory.h"
#include "archive/Extract.h"
#include "settings/clsINI.h"
#include "ui/about/frmAbout.h"
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
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

// How many problem entries the closing message names before it only counts the rest.
constexpr int ProblemsShown = 20;

std::filesystem::path ToPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Joins a folder and a name with the platform's separator, as the folder is: a root folder
// that already ends in a separator gets a second one, which still names the same file.
QString Join(const QString& folder, const QString& name) {
    return folder + QDir::separator() + name;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(true); // Enter presses the focused button itself
    return button;
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
    cmdBrowse = MakeButton(client, "cmdBrowse", QStringLiteral("..."));
    modScreen::Move(cmdBrowse, 4080, 120, 315, 315);
    File = new FileListBox(client);
    File->setObjectName(QStringLiteral("File"));
    modScreen::Move(File, 120, 480, 2535, 3990);
    cmdSelectAll = MakeButton(client, "cmdSelectAll", QStringLiteral("Select &All"));
    modScreen::Move(cmdSelectAll, 2760, 3720, 3135, 315);
    cmdExtract = MakeButton(client, "cmdExtract", QStringLiteral("Extract"));
    modScreen::Move(cmdExtract, 2760, 4080, 3255, 315);
    lstFiles = new QListWidget(client);
    lstFiles->setObjectName(QStringLiteral("lstFiles"));
    lstFiles->setSelectionMode(QAbstractItemView::MultiSelection);
    lstFiles->setSortingEnabled(false); // line k is record k of the archive
    lstFiles->setUniformItemSizes(true);
    modScreen::Move(lstFiles, 2760, 480, 3615, 1410);
    lblFolder = new QLabel(client);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setTextFormat(Qt::PlainText);
    lblFolder->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    modScreen::Move(lblFolder, 120, 120, 3975, 315);

    setTabOrder(lstFiles, cmdExtract);
    setTabOrder(cmdExtract, cmdSelectAll);
    setTabOrder(cmdSelectAll, File);
    setTabOrder(File, cmdBrowse);

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
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

    // The design's client area; the frame and the menu bar come on top.
    const QSize client0(modScreen::PixelsX(6675), modScreen::PixelsY(4515));
    resize(client0.width(), client0.height() + menuBar()->sizeHint().height());

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
    limits_->AddLimits(this, 6795, 4920, 0, 0, false);
    const QString appPath = AppPath();
    ini_->LoadINI(Join(appPath, QStringLiteral("Quillmarrow.ini")));
    const QString folder =
        ini_->ReadString(QStringLiteral("General"), QStringLiteral("Folder"), appPath);
    modDrawText::FitPath(this, lblFolder, folder);
    File->SetPath(lblFolder->property("Tag").toString());
}

void frm::Form_Unload() {
    limits_.reset(); // puts the window's own size limits back while it still exists
    ini_.reset();    // saves nothing: every change was written when it was made
}

void frm::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
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
    if (WindowState() == 1) // minimized
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
    // another button has the focus (which then takes the key itself).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && cmdExtract->isEnabled() && event->modifiers() == Qt::NoModifier) {
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
    modDrawText::FitPath(this, lblFolder, folder);
    File->SetPath(folder);
    ini_->WriteValue(QStringLiteral("General"), QStringLiteral("Folder"), folder);
}

void frm::File_Click() {
    ListArchiveEntries(ArchivePathOfSelection());
}

void frm::File_PathChange() {
    cmdSelectAll->setEnabled(false);
    cmdExtract->setEnabled(false);
}

void frm::cmdSelectAll_Click() {
    // One range for every line: selecting line by line costs time quadratic in the count.
    lstFiles->selectAll();
}

void frm::cmdExtract_Click() {
    const QString output = modBrowseForFolder::BrowseForFolder(
        File->Path(), this, QStringLiteral("Select the output folder"));
    if (output.isEmpty())
        return;
    ExtractSelectedEntries(ArchivePathOfSelection(), output);
}

void frm::mnuFileExit_Click() {
    close();
}

void frm::mnuHelpAbout_Click() {
    frmAbout about(this);
    about.exec();
}

QString frm::ArchivePathOfSelection() const {
    return Join(File->Path(), File->FileName());
}

void frm::ListArchiveEntries(const QString& ArchivePath) {
    lstFiles->clear();
    listedNames_.clear();
    const archive::Directory dir = archive::ReadDirectory(ToPath(ArchivePath), MaxListedEntries);
    if (dir.State == archive::Directory::Status::NotFound)
        return;
    if (dir.State == archive::Directory::Status::Unreadable) {
        modMsgBox::MsgBox(QStringLiteral("Could not read ") + ArchivePath + QStringLiteral(": ") +
                              QString::fromLocal8Bit(dir.Error),
                          48, QStringLiteral("Could not read archive"));
        return;
    }
    QStringList names;
    names.reserve(qsizetype(dir.Entries.size()));
    for (std::size_t k = 0; k < dir.Entries.size(); ++k) {
        const std::string_view name = dir.Entries.Name(k);
        names.append(QString::fromLocal8Bit(name.data(), qsizetype(name.size())));
        listedNames_.emplace_back(name);
    }
    lstFiles->addItems(names);
    cmdSelectAll->setEnabled(true);
    cmdExtract->setEnabled(true);
    if (dir.LeftOut)
        modMsgBox::MsgBox(QStringLiteral("This archive has more than %1 entries. Only the first "
                                         "%1 are listed; the rest were left out.")
                              .arg(MaxListedEntries),
                          48, QStringLiteral("Too many entries"));
}

std::vector<int> frm::SelectedPositions() const {
    // The selection is read once, as ranges, rather than line by line. Ranges may come in any
    // order and overlap, so each line is marked and the marks read in order: linear time.
    std::vector<char> marked(std::size_t(lstFiles->count()), 0);
    std::size_t count = 0;
    for (const QItemSelectionRange& range : lstFiles->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            char& mark = marked[std::size_t(row)];
            count += mark == 0;
            mark = 1;
        }
    std::vector<int> positions;
    positions.reserve(count);
    for (std::size_t row = 0; row < marked.size(); ++row)
        if (marked[row])
            positions.push_back(int(row));
    return positions;
}

void frm::ExtractSelectedEntries(const QString& ArchivePath, const QString& OutputFolder) {
    const std::vector<int> positions = SelectedPositions();
    std::vector<std::string_view> listed;
    listed.reserve(positions.size());
    for (const int k : positions)
        listed.emplace_back(std::size_t(k) < listedNames_.size() ? listedNames_[std::size_t(k)]
                                                                 : std::string_view());
    archive::ExtractOptions options;
    options.ListedNames = listed;
    const archive::ExtractReport report = archive::ExtractEntries(
        ToPath(ArchivePath), ToPath(OutputFolder), positions, lstFiles->count(), options);
    if (report.AllWritten()) {
        modMsgBox::MsgBox(QStringLiteral("Extraction complete."), 64, QStringLiteral("Complete"));
        return;
    }

    QStringList lines;
    if (report.ArchiveError || report.FolderError) {
        const bool archiveFailed = bool(report.ArchiveError);
        lines << (archiveFailed ? ArchivePath : OutputFolder) + QStringLiteral(": ") +
                     QString::fromStdString(archive::Describe(archiveFailed ? report.ArchiveError
                                                                            : report.FolderError))
              << QString() << QStringLiteral("No entry was extracted.");
    } else {
        int problems = 0;
        for (const auto& e : report.Entries) {
            if (e.Result == archive::EntryResult::Kind::Written)
                continue;
            if (++problems > ProblemsShown)
                continue;
            const QString name = e.Name.empty() ? lstFiles->item(e.Position)->text()
                                                : QString::fromLocal8Bit(e.Name);
            lines << name + QStringLiteral(": ") + QString::fromStdString(archive::Describe(e));
        }
        if (problems > ProblemsShown)
            lines << QStringLiteral("... and %1 more.").arg(problems - ProblemsShown);
    }
    modMsgBox::MsgBox(QStringLiteral("Extraction finished with problems:\n\n") + lines.join('\n'),
                      48, QStringLiteral("Extraction incomplete"));
}
