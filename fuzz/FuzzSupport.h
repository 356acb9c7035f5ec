#pragma once

// What the harnesses share: a private scratch folder and a check that stops the run.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A folder of this process's own under the system's temporary folder, made on first use and
// removed when the process ends.
const std::filesystem::path& ScratchFolder();

// Writes bytes to a file, replacing it.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// The names in a folder, sorted.
std::vector<std::string> Contents(const std::filesystem::path& folder);

// Reports a broken promise and aborts, which libFuzzer records as a crash with its input.
[[noreturn]] void Fail(std::string_view what);

inline void Check(bool condition, std::string_view what) {
    if (!condition)
        Fail(what);
}

} // namespace fuzz
