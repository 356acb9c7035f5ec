#include "ui/main/ArchiveEditor.h"

#include "ui/PathText.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/WriteRun.h"
#include "winutil/modFileDialog.h"
#include "winutil/modInputBox.h"
#include "winutil/modMsgBox.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace {

// A subject as the plan holds it, from the text shown, and back.
std::string Subject(const QString& shown) {
    return shown.toStdString();
}
QString Shown(const std::string& subject) {
    // Decoded keeping a byte order mark at the start, which QString::fromUtf8 would drop.
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(QByteArrayView(subject));
}

// Appends a file as an entry of its file name's bytes (on Windows through the ANSI code page,
// as names become file names when extracted).
void AddFile(WriteRequest& request, const QString& file) {
    const std::string shown = Subject(pathtext::ShownText(file));
#ifdef _WIN32
    const QString fileName = QFileInfo(file).fileName();
    std::string name = fileName.toLocal8Bit().toStdString();
    const bool unwritable = QString::fromLocal8Bit(name) != fileName;
    if (unwritable)
        name.clear();
#else
    std::string name = pathtext::NativePath(file).filename().string();
    const bool unwritable = false;
#endif
    request.Plan.Add(std::move(name), pathtext::NativePath(file), shown);
    if (unwritable)
        request.Plan.Refuse(shown, {.What = archive::WriteProblem::Kind::NameNotInCodePage});
}

// "1 entry", "2 entries".
QString Entries(std::size_t n) {
    return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
}

// An archive as the window's messages name it: its file name.
QString NameOf(const std::filesystem::path& archive) {
    return pathtext::ShownPath(archive.filename());
}

// The lines the window lists must still be the archive's: an edit by line would otherwise
// change another entry than the one chosen.
bool SameAsListed(const WriteRequest& request, const archive::EntryList& listing) {
    const auto entries = request.Plan.Entries();
    if (entries.size() != listing.size())
        return false;
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (entries[k].Name != listing.Name(k))
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
    request.Plan = archive::EditPlan::Edit(path);
    QStringList problems;
    for (const archive::WriteProblem& problem : request.Plan.NotEditable())
        problems << UnbrokenLine(shown + QStringLiteral(": ") +
                                 QString::fromStdString(archive::Describe(problem)));
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
        request.Plan.Refuse(Subject(EscapedName(list_->Listing().Name(std::size_t(row)))),
                            {.What = archive::WriteProblem::Kind::ChangedBeforeReplace});
    else
        request.Plan.Replace(row, pathtext::NativePath(files[0]),
                             Subject(pathtext::ShownText(files[0])));
    Start(std::move(request),
          QStringLiteral("Replaced %1 in %2").arg(name, NameOf(list_->ListedArchive())));
}

void ArchiveEditor::Add() {
    if (list_->ListedArchive().empty() || run_->IsRunning())
        return;
    AddFiles(modFileDialog::OpenFiles(folder_, owner_, QStringLiteral("Add files"), true));
}

void ArchiveEditor::AddDropped(const QStringList& files) {
    if (list_->ListedArchive().empty() || run_->IsRunning() || files.isEmpty())
        return;
    const QString count =
        files.size() == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files.size());
    const QString prompt =
        QStringLiteral("Add %1 to %2?").arg(count, NameOf(list_->ListedArchive()));
    if (modMsgBox::MsgBox(prompt, modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                          QStringLiteral("Add files"), owner_) == modMsgBox::vbYes)
        AddFiles(files);
}

void ArchiveEditor::AddFiles(const QStringList& files) {
    WriteRequest request;
    if (files.isEmpty() || !OpenListed(request))
        return;
    for (const QString& file : files)
        AddFile(request, file);
    const QString archive = NameOf(list_->ListedArchive());
    const QString added =
        files.size() == 1 ? QFileInfo(files[0]).fileName() : Entries(std::size_t(files.size()));
    Start(std::move(request), QStringLiteral("Added %1 to %2").arg(added, archive));
}

void ArchiveEditor::Rename(int row) {
    if (list_->ListedArchive().empty() || row < 0 || row >= list_->EntryCount() ||
        run_->IsRunning())
        return;
    const QString old = list_->ShownName(row);
    const std::optional<QString> typed = modInputBox::InputBox(
        QStringLiteral("New name for %1:").arg(old), QStringLiteral("Rename entry"), old, owner_);
    WriteRequest request;
    if (!typed || *typed == old || !OpenListed(request))
        return;
    // The name's bytes in the code page names are shown in; a name it cannot write is refused.
    const std::string name = typed->toLocal8Bit().toStdString();
    if (!SameAsListed(request, list_->Listing()))
        request.Plan.Refuse(Subject(EscapedName(list_->Listing().Name(std::size_t(row)))),
                            {.What = archive::WriteProblem::Kind::ChangedBeforeRename});
    else if (QString::fromLocal8Bit(name) != *typed)
        request.Plan.Refuse(Subject(*typed),
                            {.What = archive::WriteProblem::Kind::NameNotInCodePage});
    else
        request.Plan.Rename(row, name, name);
    Start(
        std::move(request),
        QStringLiteral("Renamed %1 to %2 in %3").arg(old, *typed, NameOf(list_->ListedArchive())));
}

void ArchiveEditor::Compact() {
    if (list_->ListedArchive().empty() || run_->IsRunning())
        return;
    WriteRequest request;
    if (!OpenListed(request))
        return;
    request.Compact = true;
    Start(std::move(request), QStringLiteral("Compacted %1").arg(NameOf(list_->ListedArchive())));
}

void ArchiveEditor::Remove(const std::vector<int>& rows) {
    if (list_->ListedArchive().empty() || run_->IsRunning())
        return;
    if (rows.empty())
        return;
    const QString archive = NameOf(list_->ListedArchive());
    const QString prompt = QStringLiteral("Remove %1 from %2?").arg(Entries(rows.size()), archive);
    WriteRequest request;
    if (modMsgBox::MsgBox(prompt, modMsgBox::vbYesNo + modMsgBox::vbQuestion,
                          QStringLiteral("Remove entries"), owner_) != modMsgBox::vbYes ||
        !OpenListed(request))
        return;
    if (!SameAsListed(request, list_->Listing()))
        request.Plan.Refuse(Subject(pathtext::ShownPath(request.Plan.Archive())),
                            {.What = archive::WriteProblem::Kind::ChangedBeforeRemove});
    else // rows ascend: the entries are dropped in one pass
        request.Plan.Remove([&](int k, const std::string&) {
            return std::binary_search(rows.begin(), rows.end(), k);
        });
    const QString removed = rows.size() == 1 ? list_->ShownName(rows[0]) : Entries(rows.size());
    Start(std::move(request), QStringLiteral("Removed %1 from %2").arg(removed, archive));
}

void ArchiveEditor::NewArchive() {
    if (run_->IsRunning())
        return;
    const QStringList files = modFileDialog::OpenFiles(
        folder_, owner_, QStringLiteral("New archive: choose its files"), true);
    if (files.isEmpty())
        return;
    // Named as the listed archive is, by its extension.
    const std::filesystem::path listed = list_->ListedArchive().extension();
    const QString extension = listed.empty() ? QStringLiteral(".dat") : pathtext::PathText(listed);
    const QString name = modFileDialog::SaveFile(
        folder_, owner_, QStringLiteral("New archive: name it"), QStringLiteral("New") + extension);
    if (name.isEmpty())
        return;
    WriteRequest request;
    request.Plan = archive::EditPlan(pathtext::NativePath(name));
    request.ReplaceExisting = true; // the dialog asked before an existing file was chosen
    for (const QString& file : files)
        AddFile(request, file);
    const QString what =
        QStringLiteral("Created %1 with %2")
            .arg(NameOf(request.Plan.Archive()), Entries(std::size_t(files.size())));
    Start(std::move(request), what);
}

void ArchiveEditor::Start(WriteRequest request, const QString& what) {
    what_ = what;
    run_->Start(std::move(request));
}

void ArchiveEditor::Finished(const archive::WriteReport& report) {
    if (run_->ClosesOwner()) // cancelled for the window to close
        return;
    const archive::EditPlan& plan = run_->Request().Plan;
    // One line a refusal, never broken.
    QStringList lines;
    const auto add = [&](const QString& subject, const QString& problem) {
        lines << UnbrokenLine(subject + QStringLiteral(": ") + problem);
    };
    for (const auto& [subject, problem] : plan.Refused())
        add(Shown(subject), QString::fromStdString(archive::Describe(problem)));
    // An entry is named by its file, or a kept one by its name.
    const auto subject = [&](std::size_t k) {
        return plan.Entries()[k].File.empty() ? EscapedName(plan.Subject(k))
                                              : Shown(plan.Subject(k));
    };
    const auto line = [&](archive::WriteProblem p) {
        if (p.OtherIsEntry) // the other entry by its name as the list shows it
            p.Text = EscapedName(p.Text).toStdString();
        add(p.Entry < 0 ? pathtext::ShownPath(plan.Archive()) : subject(std::size_t(p.Entry)),
            QString::fromStdString(archive::Describe(p)));
    };
    for (const archive::WriteProblem& p : report.Refused)
        line(p);
    if (report.Failed)
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
    if (std::filesystem::exists(plan.Archive(), ec))
        emit ListAgain(pathtext::PathText(plan.Archive()));
    if (lines.isEmpty() && report.Written())
        emit Written(what_);
}
