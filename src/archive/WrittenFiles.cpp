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

std::optional<WrittenFiles::Written> WrittenFiles::Find(const FileId& id, const std::string& name,
                                                        int before) {
    const bool folds = folder_.FoldsCase();
    if (identifiedUpTo_ < before && (folds || (id.Recent && !byId_.contains(id)))) {
        const auto end = std::min<std::size_t>(static_cast<std::size_t>(before), here_.size());
        for (auto k = static_cast<std::size_t>(identifiedUpTo_); k < end; ++k) {
            if (!here_[k])
                continue;
            std::error_code ec;
            const ArchiveEntry entry = DecodeRecord(records_.Record(k, ec));
            const Written written{static_cast<int>(k), bool(whole_[k])};
            FileId found;
            if (!ec && folds)
                byName_[FoldCase(entry.Name)] = written;
            if (!ec && folder_.Identify(entry.Name, found))
                byId_[found] = written;
        }
        identifiedUpTo_ = before;
    }
    // An entry found whose file a later one replaced since is not the one.
    const auto current = [&](const auto& map, const auto& key) -> std::optional<Written> {
        const auto it = map.find(key);
        if (it == map.end() || !here_[static_cast<std::size_t>(it->second.Position)])
            return std::nullopt;
        return it->second;
    };
    std::optional<Written> found = folds ? current(byName_, FoldCase(name)) : std::nullopt;
    return found ? found : current(byId_, id);
}

void WrittenFiles::Replaced(const Written& earlier, const FileId& id) {
    here_[static_cast<std::size_t>(earlier.Position)] = false;
    byId_.erase(id);
}

} // namespace archive::io
