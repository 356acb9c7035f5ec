#pragma once

// An archive to write, as both the command line and the window build it: a new one of files, or
// an edit of an archive that is read first. The plan says what the new archive holds entry by
// entry, each against the old archive's directory (the old entry it keeps or replaces, or
// none for an added file; the old entries it has not are removed), with the subject messages
// name it by, and the refusals found while it was built.

#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace archive {

class EditPlan {
public:
    // What a refusal found while the plan was built is about, as the caller named it.
    struct Refusal {
        std::string Subject;
        WriteProblem Problem;
    };

    // A new archive at `archive`, of no entries yet.
    explicit EditPlan(std::filesystem::path archive = {});
    EditPlan(EditPlan&&) noexcept;
    EditPlan& operator=(EditPlan&&) noexcept;
    ~EditPlan();

    // The archive at `archive` opened for editing, every entry kept. It is edited only when it
    // opens, its whole directory can be read and CheckArchive finds no problem in it; otherwise
    // NotEditable says why, each problem about the archive: CannotOpen (it could not be opened,
    // and Old is null; or reading its directory failed), then CannotBeEdited for each problem
    // that the check finds, in the check's order.
    static EditPlan Edit(std::filesystem::path archive);

    const std::filesystem::path& Archive() const { return archive_; }
    const std::vector<WriteProblem>& NotEditable() const { return notEditable_; }
    // The archive edited, open until the plan is written; null for a new archive.
    const archive::Archive* Old() const { return old_.get(); }

    // Appends an entry of that name whose data is the file's.
    void Add(std::string name, std::filesystem::path file, std::string subject);
    // The file's bytes become the data of the old entry at `position`, which keeps its name
    // and position; nothing when the plan holds no such entry.
    void Replace(int position, std::filesystem::path file, std::string subject);
    // The same for the first old entry of that name: refused (NoEntryNamed) when there is none
    // and (ReplacedTwice) when another file replaces it already.
    void ReplaceNamed(const std::string& name, std::filesystem::path file, std::string subject);
    // What Update did with a file.
    enum class Updated { Replaced, Added, Unchanged };
    // ReplaceNamed for a name the archive holds, unless the old entry's data is the file's
    // bytes already (Unchanged: nothing changes); Add for any other name.
    Updated Update(std::string name, std::filesystem::path file, std::string subject);
    // The old entry at `position` gets that name and keeps its data and its place; nothing when
    // the plan holds no such entry. The name is checked as every name is when the plan is
    // written, and the entry is then named by `subject`.
    void Rename(int position, std::string name, std::string subject);
    // The same for the old entry named `name`: refused (NoEntryNamed) when there is none.
    void RenameNamed(const std::string& name, std::string newName, std::string subject);
    // Drops the old entries for which `drop(position, name)` is true.
    void Remove(const std::function<bool(int position, const std::string& name)>& drop);
    // Adds a refusal: the plan is then checked, never written.
    void Refuse(std::string subject, WriteProblem problem);

    // The entries of the new archive, in order; for each, the old entry's position (-1 for an
    // added one) and the subject: the file as the caller gave it, or the old entry's name.
    std::span<const WriteEntry> Entries() const { return entries_; }
    int OldPosition(std::size_t entry) const { return oldPositions_[entry]; }
    const std::string& Subject(std::size_t entry) const { return subjects_[entry]; }
    const std::vector<Refusal>& Refused() const { return refused_; }

    // Writes the new archive (see WriteArchive; options.Old is the archive edited: its layout is
    // kept unless options.Compact), or, with
    // refusals, runs only the checks. The archive edited is closed afterwards, so the plan is
    // written once.
    WriteReport Write(WriteOptions options);

private:
    // Whether the old entry k holds the file's bytes (false when either cannot be read whole).
    bool Holds(std::size_t k, const std::filesystem::path& file) const;
    // The entry kept from the old archive at that position, or the first with that name;
    // Entries().size() when none.
    std::size_t OldEntryAt(int position) const;
    std::size_t OldEntryNamed(const std::string& name) const;

    std::filesystem::path archive_;
    std::unique_ptr<archive::Archive> old_;
    std::vector<WriteProblem> notEditable_;
    std::vector<WriteEntry> entries_;
    std::vector<int> oldPositions_;
    std::vector<std::string> subjects_;
    std::vector<int> renamed_; // the old positions of the entries renamed
    std::vector<Refusal> refused_;
};

} // namespace archive
