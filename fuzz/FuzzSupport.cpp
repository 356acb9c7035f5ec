#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

namespace fuzz {

namespace fs = std::filesystem;

const fs::path& ScratchFolder() {
    // Never destroyed, so that the clean-up at exit can still use it.
    static const fs::path* const folder = [] {
        std::string pattern = (fs::temp_directory_path() / "quillmarrow-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            Fail("cannot make a scratch folder");
        auto* path = new fs::path(pattern);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ScratchFolder(), ignored);
        });
        return path;
    }();
    return *folder;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(static_cast<bool>(out.flush()), "cannot write the input file");
}

std::vector<std::string> Contents(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Fail(std::string_view what) {
    std::fprintf(stderr, "broken: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

} // namespace fuzz
