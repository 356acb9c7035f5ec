// The directory reader on arbitrary bytes: it must not crash, each listed entry must be the
// record at its position, the walk must stop exactly where the rules say, and a maximum must
// give the same entries cut short with LeftOut set.

#include "FuzzSupport.h"
#include "archive/ArchiveEntry.h"
#include "archive/Directory.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// The end-of-directory rule written out again, so that a fault in the reader's copy shows.
bool EndsWalk(char first) {
    return first == '\0' || first == '.' || first == '/' || (first >= '0' && first <= '9');
}

bool SameEntry(const archive::ArchiveEntry& a, const archive::ArchiveEntry& b) {
    return a.Name == b.Name && a.Offset == b.Offset && a.Size == b.Size && a.Complete == b.Complete;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using archive::RecordSize;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto path = fuzz::ScratchFolder() / "archive.dat";
    fuzz::WriteFile(path, bytes);

    const archive::Directory dir = archive::ReadDirectory(path);
    fuzz::Check(!dir.Error, "the file was not read");
    fuzz::Check(!dir.LeftOut, "entries left out without a maximum");
    const std::size_t count = dir.Entries.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view record = bytes.substr(k * RecordSize, RecordSize);
        fuzz::Check(!record.empty() && !EndsWalk(record[0]),
                    "an entry listed past the end of the directory");
        fuzz::Check(SameEntry(dir.Entries[k], archive::DecodeRecord(record)),
                    "an entry differs from its record");
    }
    if (count * RecordSize < size)
        fuzz::Check(EndsWalk(bytes[count * RecordSize]),
                    "the walk stopped before the end of the directory");

    if (count > 0) {
        const std::size_t max = data[0] % count; // below the count, so one is left out
        const archive::Directory cut = archive::ReadDirectory(path, max);
        fuzz::Check(cut.Entries.size() == max && cut.LeftOut, "a maximum was not kept");
        for (std::size_t k = 0; k < max; ++k)
            fuzz::Check(SameEntry(cut.Entries[k], dir.Entries[k]), "a maximum changed an entry");
    }
    return 0;
}
