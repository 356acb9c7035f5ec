#include "archive/ArchiveWriter.h"

#include "archive/ArchiveEntry.h"

namespace archive {

std::string BuildArchive(const std::vector<NewEntry>& entries) {
    std::string directory, data;
    const std::size_t dataStart = (entries.size() + 1) * RecordSize;
    for (const auto& e : entries) {
        directory += EncodeRecord(e.Name, static_cast<std::int32_t>(dataStart + data.size()),
                                  static_cast<std::int32_t>(e.Data.size()));
        data += e.Data;
    }
    directory.append(RecordSize, '\0');
    return directory + data;
}

} // namespace archive
