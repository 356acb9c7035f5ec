#include "archive/Archive.h"

#include "FileIO.h"
#include "RecordReader.h"

namespace archive {

std::string Describe(const OpenError& error) {
    using Kind = OpenError::Kind;
    const char* subject = error.Of == OpenError::Subject::Archive ? "archive"
                          : error.Of == OpenError::Subject::List  ? "list"
                                                                  : "folder";
    switch (error.What) {
    case Kind::None:
        return {};
    case Kind::NotFound:
        return std::string("the ") + subject + " does not exist";
    case Kind::IsFolder:
        return "is a folder";
    case Kind::NotRegularFile:
        return "is not a regular file";
    case Kind::NotAFolder:
        return "is not a folder";
    case Kind::PermissionDenied:
        return "permission denied";
    case Kind::Unreadable:
        break;
    }
    return (error.Of == OpenError::Subject::OutputFolder
                ? "cannot open the folder: "
                : std::string("cannot read the ") + subject + ": ") +
           io::SystemMessage(error.Error);
}

Archive::Archive() = default;
Archive::Archive(const std::filesystem::path& path) {
    file_ = io::InputFile::Open(path, error_);
    if (file_)
        zone_ = io::ReadZone(path);
}
Archive::Archive(Archive&&) noexcept = default;
Archive& Archive::operator=(Archive&&) noexcept = default;
Archive::~Archive() = default;

std::uint64_t Archive::Size() const {
    return file_ ? file_->Size() : 0;
}

std::size_t Archive::ReadAt(char* buffer, std::size_t n, std::uint64_t pos,
                            std::error_code& ec) const {
    return file_ ? file_->ReadAt(buffer, n, pos, ec) : 0;
}

std::uint64_t
Archive::WalkDirectory(const std::function<bool(int k, const ArchiveEntry& entry)>& visit,
                       std::error_code& ec) const {
    if (!file_)
        return 0;
    io::RecordReader records(*file_, io::WalkBlockRecords);
    for (std::string_view record; !(record = records.Next(ec)).empty();)
        if (!visit(static_cast<int>(records.Walked() - 1), DecodeRecord(record)))
            break;
    return records.Walked();
}

} // namespace archive
