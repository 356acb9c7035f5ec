#include "archive/Extract.h"

#include "FileIO.h"
#include "archive/ArchiveEntry.h"
#include "archive/Directory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>

namespace archive {

namespace {

namespace fs = std::filesystem;
using Outcome = EntryResult::Outcome;

bool IsWindowsReservedName(const std::string& name) {
    // Device names stay reserved with any extension: "CON", "con.txt", "COM1.dat".
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static constexpr std::array<const char*, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(Plain.begin(), Plain.end(), stem) != Plain.end())
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

fs::path TemporaryPathIn(const fs::path& folder) {
    // Unique enough to avoid collisions; creation is exclusive, so a clash only means a retry.
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string name = ".quillmarrow-" + std::to_string(stamp % 1000000007ULL) + "-" +
                             std::to_string(counter++) + ".part";
    return folder / name;
}

// Writes `length` bytes from `offset` of the archive to folder/name through a temporary file.
// Returns the bytes written; on failure sets ec and leaves nothing behind.
std::uint64_t WriteEntry(io::InputFile& archive, std::uint64_t offset, std::uint64_t length,
                         const fs::path& target, std::vector<char>& buffer, std::error_code& ec) {
    fs::path temp;
    std::unique_ptr<io::OutputFile> out;
    for (int attempt = 0; attempt < 100 && !out; ++attempt) {
        ec.clear();
        temp = TemporaryPathIn(target.parent_path());
        out = io::OutputFile::CreateNew(temp, ec);
        if (ec != std::errc::file_exists)
            break;
    }
    if (!out)
        return 0;
    const std::uint64_t written = io::CopyRange(archive, offset, length, *out, buffer, ec);
    out->Close(ec);
    if (!ec)
        fs::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
    }
    return written;
}

} // namespace

bool ExtractReport::AllWritten() const {
    return std::all_of(Entries.begin(), Entries.end(),
                       [](const EntryResult& e) { return e.Result == Outcome::Written; });
}

std::string UnsafeNameReason(const std::string& name, bool windowsRules) {
    if (name.empty())
        return "empty name";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\')
            return "unsafe name (contains a path separator)";
        if (byte < 32 || byte == 127)
            return "unsafe name (contains a control character)";
    }
    if (!windowsRules)
        return {};
    if (name.find_first_of("<>:\"|?*") != std::string::npos)
        return "unsafe name (contains a character Windows does not allow)";
    if (name.back() == ' ' || name.back() == '.')
        return "unsafe name (ends in a space or full stop)";
    if (IsWindowsReservedName(name))
        return "unsafe name (a device name Windows reserves)";
    return {};
}

ExtractReport ExtractEntries(const fs::path& archivePath, const fs::path& outputFolder,
                             std::span<const int> selectedPositions, int listCount) {
    ExtractReport report;
    for (const int k : selectedPositions)
        if (k >= 0 && k < listCount) {
            EntryResult e;
            e.Position = k;
            report.Entries.push_back(std::move(e));
        }

    std::error_code ec;
    std::unique_ptr<io::InputFile> archive;
    if (!IsOrdinaryFile(archivePath))
        report.ArchiveError = "the archive does not exist";
    else if (!(archive = io::InputFile::Open(archivePath, ec)))
        report.ArchiveError = "cannot open the archive: " + ec.message();
    if (!archive) {
        for (auto& e : report.Entries)
            e.Reason = report.ArchiveError;
        return report;
    }

    const char* const Changed = "not extracted: the archive changed since it was listed";
    std::vector<char> buffer; // grows to one chunk at most, reused for every entry
    for (auto& e : report.Entries) {
        if (report.StoppedAt >= 0) {
            e.Reason = Changed;
            continue;
        }
        std::array<char, RecordSize> bytes{};
        const std::size_t got = archive->ReadAt(
            bytes.data(), bytes.size(), static_cast<std::uint64_t>(e.Position) * RecordSize, ec);
        if (ec) {
            e.Reason = "cannot read its directory record: " + ec.message();
            ec.clear();
            continue;
        }
        if (EndsDirectory(static_cast<unsigned char>(bytes[0]))) {
            report.StoppedAt = e.Position;
            e.Reason = Changed;
            continue;
        }
        const ArchiveEntry entry = DecodeRecord(std::string_view(bytes.data(), got));
        e.Name = entry.Name;
        if (!entry.Complete) {
            e.Reason = "its directory record is cut short by the end of the archive";
            continue;
        }
        if (e.Reason = UnsafeNameReason(entry.Name); !e.Reason.empty())
            continue;
        if (entry.Offset < 0 || entry.Size < 0) {
            e.Reason = entry.Offset < 0 ? "negative offset " + std::to_string(entry.Offset)
                                        : "negative size " + std::to_string(entry.Size);
            continue;
        }

        const auto offset = static_cast<std::uint64_t>(entry.Offset);
        const auto size = static_cast<std::uint64_t>(entry.Size);
        const std::uint64_t present =
            offset < archive->Size() ? std::min(size, archive->Size() - offset) : 0;
        e.BytesWritten =
            WriteEntry(*archive, offset, present, outputFolder / entry.Name, buffer, ec);
        if (ec) {
            e.Reason = "cannot write it: " + ec.message();
            e.BytesWritten = 0;
            ec.clear();
        } else if (e.BytesWritten < size) {
            e.Result = Outcome::CutShort;
            e.Reason = "cut short by the end of the archive (" + std::to_string(e.BytesWritten) +
                       " of " + std::to_string(size) + " bytes written)";
        } else {
            e.Result = Outcome::Written;
        }
    }
    return report;
}

} // namespace archive
