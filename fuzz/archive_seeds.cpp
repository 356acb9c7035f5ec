// Writes the seed corpus of the archive harnesses into a folder: archives made by the
// project's own writer, and the odd cases the directory rules and extraction care about.

#include "archive/ArchiveEntry.h"
#include "archive/ArchiveWriter.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using archive::EncodeRecord;

std::string LongDirectory(int count) {
    std::vector<archive::NewEntry> entries;
    for (int k = 0; k < count; ++k)
        entries.push_back({"N" + std::to_string(k), std::string(k % 3, 'd')});
    return archive::BuildArchive(entries);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_archive_seeds FOLDER\n", stderr);
        return 2;
    }
    const std::string data = "0123456789";
    const std::vector<std::pair<const char*, std::string>> seeds = {
        {"empty", ""},
        {"one-entry", archive::BuildArchive({{"README.TXT", "hello\r\n"}})},
        {"three-entries",
         archive::BuildArchive({{"A.TXT", "alpha"}, {"B.TXT", "bravo!"}, {"C.TXT", "charlie"}})},
        {"twelve-character-name", archive::BuildArchive({{"TWELVE.CHARS", "x"}, {"E", ""}})},
        {"same-name-twice", archive::BuildArchive({{"SAME", "first"}, {"SAME", "second"}})},
        {"unsafe-names",
         archive::BuildArchive(
             {{"a/../../x", "bad"}, {"a\\b", "bad"}, {"a\tb", "bad"}, {"OK", "ok"}})},
        {"negative-offset-and-size",
         EncodeRecord("NEG", -5, 3) + EncodeRecord("SIZE", 60, -1) + EncodeRecord("", 0, 0) + data},
        {"data-past-the-end", EncodeRecord("LONG", 45, 100) + EncodeRecord("", 0, 0) + data},
        {"record-cut-short", EncodeRecord("A", 0, 0) + EncodeRecord("CUT", 0, 0).substr(0, 15)},
        {"ended-by-full-stop", EncodeRecord("A", 60, 1) + EncodeRecord(".B", 61, 1) + data},
        {"ended-by-digit", EncodeRecord("A", 60, 1) + EncodeRecord("9B", 61, 1) + data},
        {"long-directory", LongDirectory(4200)},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream out(std::string(argv[1]) + "/seed-" + name, std::ios::binary);
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            std::perror(argv[1]);
            return 1;
        }
    }
    return 0;
}
