#include "archive/EditPlan.h"

#include "FileIO.h"
#include "archive/Check.h"

#include <algorithm>
#include <utility>

namespace archive {

using Kind = WriteProblem::Kind;

EditPlan::EditPlan(std::filesystem::path archive) : archive_(std::move(archive)) {}
EditPlan::EditPlan(EditPlan&&) noexcept = default;
EditPlan& EditPlan::operator=(EditPlan&&) noexcept = default;
EditPlan::~EditPlan() = default;

EditPlan EditPlan::Edit(std::filesystem::path archive) {
    EditPlan plan(std::move(archive));
    auto old = std::make_unique<archive::Archive>(plan.archive_);
    if (!old->IsOpen()) {
        plan.notEditable_.push_back({.What = Kind::CannotOpen, .Open = old->Error()});
        return plan;
    }
    plan.old_ = std::move(old);
    const CheckReport check = CheckArchive(*plan.old_, [&](const Finding& f) {
        if (f.What == Finding::Kind::Problem)
            plan.notEditable_.push_back({.What = Kind::CannotBeEdited,
                                         .Other = f.Position,
                                         .Text = f.Name,
                                         .Finding = f.Text});
    });
    std::error_code ec = check.ReadError;
    if (!ec && plan.notEditable_.empty())
        plan.old_->WalkDirectory(
            [&](int k, const ArchiveEntry& e) {
                plan.entries_.push_back({e.Name, {}, e.Offset, e.Size});
                plan.oldPositions_.push_back(k);
                plan.subjects_.push_back(e.Name);
                return true;
            },
            ec);
    if (ec)
        plan.notEditable_.push_back(
            {.What = Kind::CannotOpen,
             .Open = {OpenError::Kind::Unreadable, OpenError::Subject::Archive, ec}});
    if (!plan.notEditable_.empty()) {
        plan.entries_.clear();
        plan.oldPositions_.clear();
        plan.subjects_.clear();
    }
    return plan;
}

void EditPlan::Add(std::string name, std::filesystem::path file, std::string subject) {
    entries_.push_back({std::move(name), std::move(file)});
    oldPositions_.push_back(-1);
    subjects_.push_back(std::move(subject));
}

void EditPlan::Replace(int position, std::filesystem::path file, std::string subject) {
    const std::size_t k = OldEntryAt(position);
    if (k == entries_.size())
        return;
    entries_[k].File = std::move(file);
    subjects_[k] = std::move(subject);
}

std::size_t EditPlan::OldEntryAt(int position) const {
    const auto at = std::find(oldPositions_.begin(), oldPositions_.end(), position);
    return position < 0 ? entries_.size() : static_cast<std::size_t>(at - oldPositions_.begin());
}

std::size_t EditPlan::OldEntryNamed(const std::string& name) const {
    std::size_t k = 0;
    while (k < entries_.size() && (oldPositions_[k] < 0 || entries_[k].Name != name))
        ++k;
    return k;
}

void EditPlan::ReplaceNamed(const std::string& name, std::filesystem::path file,
                            std::string subject) {
    const std::size_t k = OldEntryNamed(name);
    if (k == entries_.size())
        Refuse(std::move(subject), {.What = Kind::NoEntryNamed, .Text = name});
    else if (!entries_[k].File.empty())
        Refuse(std::move(subject),
               {.What = Kind::ReplacedTwice, .Other = oldPositions_[k], .Text = subjects_[k]});
    else
        Replace(oldPositions_[k], std::move(file), std::move(subject));
}

EditPlan::Updated EditPlan::Update(std::string name, std::filesystem::path file,
                                   std::string subject) {
    std::size_t k = 0;
    while (k < entries_.size() && (oldPositions_[k] < 0 || entries_[k].Name != name))
        ++k;
    if (k == entries_.size()) {
        Add(std::move(name), std::move(file), std::move(subject));
        return Updated::Added;
    }
    if (entries_[k].File.empty() && Holds(k, file))
        return Updated::Unchanged;
    ReplaceNamed(name, std::move(file), std::move(subject));
    return Updated::Replaced;
}

bool EditPlan::Holds(std::size_t k, const std::filesystem::path& file) const {
    OpenError error;
    const auto in = io::InputFile::Open(file, error);
    const auto size = static_cast<std::uint64_t>(entries_[k].Size);
    if (!in || !old_ || in->Size() != size)
        return false;
    constexpr std::size_t Chunk = 64u << 10;
    std::vector<char> mine(Chunk), theirs(Chunk);
    std::error_code ec;
    for (std::uint64_t done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, Chunk));
        if (in->ReadAt(mine.data(), want, done, ec) != want ||
            old_->File().ReadAt(theirs.data(), want,
                                static_cast<std::uint64_t>(entries_[k].Offset) + done,
                                ec) != want ||
            !std::equal(mine.begin(), mine.begin() + static_cast<std::ptrdiff_t>(want),
                        theirs.begin()))
            return false;
        done += want;
    }
    return true;
}

void EditPlan::Rename(int position, std::string name, std::string subject) {
    const std::size_t k = OldEntryAt(position);
    if (k == entries_.size())
        return;
    entries_[k].Name = std::move(name);
    subjects_[k] = std::move(subject);
    renamed_.push_back(position);
}

void EditPlan::RenameNamed(const std::string& name, std::string newName, std::string subject) {
    const std::size_t k = OldEntryNamed(name);
    if (k == entries_.size())
        Refuse(std::move(subject), {.What = Kind::NoEntryNamed, .Text = name});
    else
        Rename(oldPositions_[k], std::move(newName), std::move(subject));
}

void EditPlan::Remove(const std::function<bool(int position, const std::string& name)>& drop) {
    std::size_t kept = 0;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (oldPositions_[k] >= 0 && drop(oldPositions_[k], entries_[k].Name))
            continue;
        if (kept != k) {
            entries_[kept] = std::move(entries_[k]);
            oldPositions_[kept] = oldPositions_[k];
            subjects_[kept] = std::move(subjects_[k]);
        }
        ++kept;
    }
    entries_.resize(kept);
    oldPositions_.resize(kept);
    subjects_.resize(kept);
}

void EditPlan::Refuse(std::string subject, WriteProblem problem) {
    refused_.push_back({std::move(subject), std::move(problem)});
}

WriteReport EditPlan::Write(WriteOptions options) {
    options.Old = old_.get();
    options.CheckOnly = options.CheckOnly || !refused_.empty();
    WriteReport report = WriteArchive(archive_, entries_, options);
    old_.reset();
    // A name that another entry has already is said against that entry: one of the archive by
    // its name, an added file as the caller named it. The entry renamed is the one refused,
    // wherever it lies.
    const auto renamed = [&](int entry) {
        return std::find(renamed_.begin(), renamed_.end(),
                         oldPositions_[static_cast<std::size_t>(entry)]) != renamed_.end();
    };
    for (WriteProblem& p : report.Refused)
        if ((p.What == Kind::SameName || p.What == Kind::SameNameFolded) && p.Other >= 0) {
            if (p.Entry >= 0 && renamed(p.Other) && !renamed(p.Entry))
                std::swap(p.Entry, p.Other);
            const auto other = static_cast<std::size_t>(p.Other);
            p.OtherIsEntry = oldPositions_[other] >= 0;
            p.Text = p.OtherIsEntry ? entries_[other].Name : subjects_[other];
        }
    return report;
}

} // namespace archive
