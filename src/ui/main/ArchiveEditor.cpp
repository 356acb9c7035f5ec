#include "ui/main/ArchiveEditor.h"

#include "ui/PathText.h"
#include "ui/main/EntryMenu.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/FileListBox.h"
#include "ui/main/WriteRun.h"
#include "ui/main/frm.h"
#include "winutil/modFileDialog.h"
#include "winutil/modMsgBox.h"

#include <QAction>
#include <QFileInfo>
#include <QListWidget>

namespace {

// Appends a file as an entry of its file name's bytes (on Windows through the ANSI code page,
// as names become file names when extracted).
void AddFile(WriteRequest& request, const QString& file) {
    const QString shown = pathtext::ShownText(file);
#ifdef _WIN32
    const QString fileName = QFileInfo(file).fileName();
    std::string name = fileName.toLocal8Bit().toStdString();
    if (QString::fromLocal8Bit(name) != fileName) {
        name.clear();
        request.Refused << shown + QStringLiteral(": the system's code page cannot write its name");
    }
#else
    std::string name = pathtext::NativePath(file).filename().string();
#endif
    request.Entries.push_back({std::move(name), pathtext::NativePath(file)});
    request.Subjects << shown;
}

// "1 entry", "2 entries".
QString Entries(std::size_t n) {
    return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
}

// The lines the window lists must still be the archive's: an edit by line would otherwise
// change another entry than the one chosen.
bool SameAsListed(const WriteRequest& request, const frm& window) {
    if (request.Entries.size() != window.Listing().size())
        return false;
    for (std::size_t k = 0; k < request.Entries.size(); ++k)
        if (request.Entries[k].Name != window.Listing().Name(k))
            return false;
    return true;
}

} // namespace

ArchiveEditor::ArchiveEditor(frm* window)
    : QObject(window), window_(window), run_(std::make_unique<WriteRun>(window)) {
    connect(window->mnuEntry->mnuEntryReplace, &QAction::triggered, this, &ArchiveEditor::Replace);
    connect(window->mnuEntry->mnuEntryAdd, &QAction::triggered, this, &ArchiveEditor::Add);
    connect(window->mnuEntry->mnuEntryRemove, &QAction::triggered, this, &ArchiveEditor::Remove);
    connect(window->mnuFileNew, &QAction::triggered, this, &ArchiveEditor::NewArchive);
    connect(run_.get(), &WriteRun::Finished, this, &ArchiveEditor::Finished);
}

ArchiveEditor::~ArchiveEditor() = default;

bool ArchiveEditor::OpenListed(WriteRequest& request) {
    const std::filesystem::path& path = window_->ListedArchive();
    const QString shown = pathtext::ShownPath(path);
    request.Archive = path;
    request.Old = std::make_unique<archive::Archive>(path);
    QStringList problems;
    if (!request.Old->IsOpen())
        problems << shown + QStringLiteral(": ") +
                        QString::fromStdString(archive::Describe(request.Old->Error()));
    else {
        archive::EditableDirectory dir = archive::ReadForEditing(*request.Old);
        for (const std::string& problem : dir.Problems)
            problems << shown + QStringLiteral(": ") + QString::fromStdString(problem);
        if (dir.ReadError)
            problems << shown + QStringLiteral(": ") +
                            QString::fromStdString(archive::Describe(archive::OpenError{
                                archive::OpenError::Kind::Unreadable,
                                archive::OpenError::Subject::Archive, dir.ReadError}));
        for (const archive::ArchiveEntry& e : dir.Entries) {
            request.Entries.push_back({e.Name, {}, e.Offset, e.Size});
            request.Subjects << EscapedName(e.Name);
        }
    }
    if (problems.isEmpty())
        return true;
    modMsgBox::MsgBox(problems.join(QLatin1Char('\n')), modMsgBox::vbExclamation,
                      QStringLiteral("Archive not written"), window_);
    return false;
}

void ArchiveEditor::Replace() {
    const int row = window_->mnuEntry->Target();
    if (window_->ListedArchive().empty() || row < 0 || run_->IsRunning())
        return;
    const QString name = window_->lstFiles->item(row)->text();
    const QStringList files = modFileDialog::OpenFiles(
        window_->File->Path(), window_, QStringLiteral("Replace %1 with a file").arg(name), false);
    WriteRequest request;
    if (files.isEmpty() || !OpenListed(request))
        return;
    if (!SameAsListed(request, *window_))
        request.Refused << EscapedName(window_->Listing().Name(std::size_t(row))) +
                               QStringLiteral(": not replaced: the archive changed since it "
                                              "was listed");
    else {
        request.Entries[std::size_t(row)].File = pathtext::NativePath(files[0]);
        request.Subjects[row] = pathtext::ShownText(files[0]);
    }
    run_->Start(std::move(request));
}

void ArchiveEditor::Add() {
    if (window_->ListedArchive().empty() || run_->IsRunning())
        return;
    const QStringList files =
        modFileDialog::OpenFiles(window_->File->Path(), window_, QStringLiteral("Add files"), true);
    WriteRequest request;
    if (files.isEmpty() || !OpenListed(request))
        return;
    for (const QString& file : files)
        AddFile(request, file);
    run_->Start(std::move(request));
}

void ArchiveEditor::Remove() {
    if (window_->ListedArchive().empty() || run_->IsRunning())
        return;
    std::vector<int> rows = window_->SelectedPositions();
    if (rows.empty() && window_->mnuEntry->Target() >= 0)
        rows.push_back(window_->mnuEntry->Target());
    if (rows.empty())
        return;
    const QString prompt =
        QStringLiteral("Remove %1 from %2?")
            .arg(Entries(rows.size()), pathtext::ShownPath(window_->ListedArchive().filename()));
    WriteRequest request;
    if (modMsgBox::MsgBox(prompt, modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                          QStringLiteral("Remove entries"), window_) != modMsgBox::vbYes ||
        !OpenListed(request))
        return;
    if (!SameAsListed(request, *window_)) {
        request.Refused << pathtext::ShownPath(request.Archive) +
                               QStringLiteral(": nothing removed: the archive changed since it "
                                              "was listed");
        run_->Start(std::move(request));
        return;
    }
    // Rows ascend: each entry is kept or dropped in one pass, into lists of the kept ones.
    std::vector<archive::WriteEntry> entries;
    QStringList subjects;
    for (std::size_t k = 0, next = 0; k < request.Entries.size(); ++k) {
        if (next < rows.size() && std::size_t(rows[next]) == k) {
            ++next;
            continue;
        }
        entries.push_back(std::move(request.Entries[k]));
        subjects << request.Subjects[qsizetype(k)];
    }
    request.Entries = std::move(entries);
    request.Subjects = subjects;
    run_->Start(std::move(request));
}

void ArchiveEditor::NewArchive() {
    if (run_->IsRunning())
        return;
    const QStringList files = modFileDialog::OpenFiles(
        window_->File->Path(), window_, QStringLiteral("New archive: choose its files"), true);
    if (files.isEmpty())
        return;
    const QString name = modFileDialog::SaveFile(window_->File->Path(), window_,
                                                 QStringLiteral("New archive: name it"));
    if (name.isEmpty())
        return;
    WriteRequest request;
    request.Archive = pathtext::NativePath(name);
    request.ReplaceExisting = true; // the dialog asked before an existing file was chosen
    for (const QString& file : files)
        AddFile(request, file);
    run_->Start(std::move(request));
}

void ArchiveEditor::Finished(const archive::WriteReport& report) {
    const WriteRequest& request = run_->Request();
    QStringList lines = request.Refused;
    const auto line = [&](const archive::WriteProblem& p) {
        lines << (p.Entry < 0 ? pathtext::ShownPath(request.Archive)
                              : request.Subjects.value(p.Entry)) +
                     QStringLiteral(": ") + QString::fromStdString(p.Message);
    };
    for (const archive::WriteProblem& p : report.Refused)
        line(p);
    if (!report.Failed.Message.empty())
        line(report.Failed);
    if (!lines.isEmpty())
        modMsgBox::MsgBox(lines.join(QLatin1Char('\n')) +
                              QStringLiteral("\n\nNothing was written."),
                          modMsgBox::vbExclamation, QStringLiteral("Archive not written"), window_);
    else if (report.Cancelled)
        modMsgBox::MsgBox(QStringLiteral("Cancelled: nothing was written."),
                          modMsgBox::vbInformation, QStringLiteral("Writing cancelled"), window_);
    // The archive as it is now: the new one, or the old one as it was.
    std::error_code ec;
    if (std::filesystem::exists(request.Archive, ec))
        window_->OpenPath(pathtext::PathText(request.Archive));
}
