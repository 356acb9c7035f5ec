#pragma once

#include <string>
#include <vector>

namespace archive {

struct NewEntry {
    std::string Name; // at most 12 bytes are stored
    std::string Data;
};

// Lays out an archive in memory: the directory, one record of NULs that ends it, then the
// entries' data in order.
std::string BuildArchive(const std::vector<NewEntry>& entries);

} // namespace archive
