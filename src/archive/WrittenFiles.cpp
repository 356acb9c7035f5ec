#include "WrittenFiles.h"

#include <algorithm>

namespace archive::io {

void WrittenFiles::Add(int position, bool whole) {
    const auto k = static_cast<std::size_t>(position);
    if (here_.size() <= k) {
        here_.resize(std::max(k + 1, here_.size() * 2));
        whole_.resize(here_.size());
    }
    here_[k] = true;
    whole_[k] = whole;
}

std::optional<WrittenFiles::Written> WrittenFiles::Find(const FileId& id, int before) {
    auto it = byId_.find(id);
    if (it == byId_.end() && id.Recent && identifiedUpTo_ < before) {
        const auto end = std::min<std::size_t>(static_cast<std::size_t>(before), here_.size());
        for (auto k = static_cast<std::size_t>(identifiedUpTo_); k < end; ++k) {
            if (!here_[k])
                continue;
            std::error_code ec;
            const ArchiveEntry entry = DecodeRecord(records_.Record(k, ec));
            FileId found;
            if (!ec && folder_.Identify(entry.Name, found))
                byId_[found] = {static_cast<int>(k), bool(whole_[k])};
        }
        identifiedUpTo_ = before;
        it = byId_.find(id);
    }
    if (it == byId_.end())
        return std::nullopt;
    return it->second;
}

void WrittenFiles::Replaced(const Written& earlier, const FileId& id) {
    here_[static_cast<std::size_t>(earlier.Position)] = false;
    byId_.erase(id);
}

} // namespace archive::io
