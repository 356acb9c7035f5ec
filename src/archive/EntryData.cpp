#include "archive/EntryData.h"

#include "FileIO.h"
#include "RecordReader.h"

#include <algorithm>

namespace archive {

EntryData::EntryData(const std::filesystem::path& archivePath, int position,
                     std::string_view listedName)
    : archive_(archivePath) {
    using Kind = EntryResult::Kind;
    record_.Position = position;
    if (!archive_.IsOpen())
        return; // NotOpened
    io::RecordReader records(archive_.File(), 1);
    const std::string_view bytes =
        position < 0 ? std::string_view()
                     : records.DirectoryRecord(static_cast<std::uint64_t>(position), record_.Error);
    if (record_.Error) {
        record_.Result = Kind::ReadFailed;
        return;
    }
    if (bytes.empty()) {
        record_.Result = Kind::NotInDirectory;
        return;
    }
    const ArchiveEntry entry = DecodeRecord(bytes);
    record_.Name = entry.Name;
    record_.Offset = entry.Offset;
    record_.Size = entry.Size;
    if (entry.Name != listedName) {
        record_.Result = Kind::ArchiveChanged;
    } else if ((record_.Result = RecordReadable(entry)) == Kind::Written) {
        present_ = PresentBytes(entry, archive_.Size());
        if (present_ < static_cast<std::uint64_t>(entry.Size))
            record_.Result = Kind::CutShort;
    }
}

std::size_t EntryData::Read(std::uint64_t at, char* into, std::size_t n,
                            std::error_code& ec) const {
    if (!Readable() || at >= present_)
        return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, present_ - at));
    return archive_.File().ReadAt(into, n, static_cast<std::uint64_t>(record_.Offset) + at, ec);
}

} // namespace archive
