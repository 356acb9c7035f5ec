#pragma once

// The few file operations extraction needs, over the platform's own calls where it has them
// (positioned reads, exclusive creation, kernel-side copies) and standard streams elsewhere.
// Errors come back as std::error_code, so callers can show the system's own description.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace archive::io {

class InputFile {
public:
    // Opens an existing file for reading only.
    static std::unique_ptr<InputFile> Open(const std::filesystem::path& path, std::error_code& ec);
    virtual ~InputFile() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads up to n bytes at pos; fewer only where the file ends.
    virtual std::size_t ReadAt(char* buffer, std::size_t n, std::uint64_t pos,
                               std::error_code& ec) = 0;
};

class OutputFile {
public:
    // Creates a new file; fails when anything of that name exists, so no link is followed.
    static std::unique_ptr<OutputFile> CreateNew(const std::filesystem::path& path,
                                                 std::error_code& ec);
    virtual ~OutputFile() = default;
    virtual void Write(const char* data, std::size_t n, std::error_code& ec) = 0;
    virtual void Close(std::error_code& ec) = 0;
};

// Copies up to n bytes from pos of `in` to the end of `out`; returns the bytes copied, fewer
// where the input ends. `buffer` is reused between calls when the kernel cannot copy itself.
std::uint64_t CopyRange(InputFile& in, std::uint64_t pos, std::uint64_t n, OutputFile& out,
                        std::vector<char>& buffer, std::error_code& ec);

} // namespace archive::io
