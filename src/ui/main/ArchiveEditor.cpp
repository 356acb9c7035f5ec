#include "ui/main/ArchiveEditor.h"

#include "ui/PathText.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/WriteRun.h"
#include "winutil/modFileDialog.h"
#include "winutil/modMsgBox.h"

#include <QFileInfo>

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
bool SameAsListed(const WriteRequest& request, const archive::EntryList& listing) {
    if (request.Entries.size() != listing.size())
        return false;
    for (std::size_t k = 0; k < request.Entries.size(); ++k)
        if (request.Entries[k].Name != listing.Name(k))
            return false;
    return true;
}

} // namespace

ArchiveEditor::ArchiveEditor(EntryListBox* list, QWidget* owner)
    : QObject(owner), list_(list), owner_(owner), run_(std::make_unique<WriteRun>(owner)) {
    connect(run_.get(), &WriteRun::Finished, this, &ArchiveEditor::Finished);
}

ArchiveEditor::~ArchiveEditor() = default;

bool ArchiveEditor::OpenListed(WriteRequest& request) {
    const std::filesystem::path& path = list_->ListedArchive();
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
                      QStringLiteral("Archive not written"), owner_);
    return false;
}

void ArchiveEditor::Replace(int row) {
    if (list_->ListedArchive().empty() || row < 0 || run_->IsRunning())
        return;
    const QString name = list_->ShownName(row);
    const QStringList files = modFileDialog::OpenFiles(
        folder_, owner_, QStringLiteral("Replace %1 with a file").arg(name), false);
    WriteRequest request;
    if (files.isEmpty() || !OpenListed(request))
        return;
    if (!SameAsListed(request, list_->Listing()))
        request.Refused << EscapedName(list_->Listing().Name(std::size_t(row))) +
                               QStringLiteral(": not replaced: the archive changed since it "
                                              "was listed");
    else {
        request.Entries[std::size_t(row)].File = pathtext::NativePath(files[0]);
        request.Subjects[row] = pathtext::ShownText(files[0]);
    }
    run_->Start(std::move(request));
}

void ArchiveEditor::Add() {
    if (list_->ListedArchive().empty() || run_->IsRunning())
        return;
    const QStringList files =
        modFileDialog::OpenFiles(folder_, owner_, QStringLiteral("Add files"), true);
    WriteRequest request;
    if (files.isEmpty() || !OpenListed(request))
        return;
    for (const QString& file : files)
        AddFile(request, file);
    run_->Start(std::move(request));
}

void ArchiveEditor::Remove(const std::vector<int>& rows) {
    if (list_->ListedArchive().empty() || run_->IsRunning())
        return;
    if (rows.empty())
        return;
    const QString prompt =
        QStringLiteral("Remove %1 from %2?")
            .arg(Entries(rows.size()), pathtext::ShownPath(list_->ListedArchive().filename()));
    WriteRequest request;
    if (modMsgBox::MsgBox(prompt, modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                          QStringLiteral("Remove entries"), owner_) != modMsgBox::vbYes ||
        !OpenListed(request))
        return;
    if (!SameAsListed(request, list_->Listing())) {
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
        folder_, owner_, QStringLiteral("New archive: choose its files"), true);
    if (files.isEmpty())
        return;
    const QString name =
        modFileDialog::SaveFile(folder_, owner_, QStringLiteral("New archive: name it"));
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
                          modMsgBox::vbExclamation, QStringLiteral("Archive not written"), owner_);
    else if (report.Cancelled)
        modMsgBox::MsgBox(QStringLiteral("Cancelled: nothing was written."),
                          modMsgBox::vbInformation, QStringLiteral("Writing cancelled"), owner_);
    // The archive as it is now: the new one, or the old one as it was.
    std::error_code ec;
    if (std::filesystem::exists(request.Archive, ec))
        emit ListAgain(pathtext::PathText(request.Archive));
}
