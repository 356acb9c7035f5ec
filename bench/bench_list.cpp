// Listing a 32767-entry archive with the core against one plain read of its directory bytes.

#include "BenchSupport.h"

#include "archive/ArchiveEntry.h"
#include "archive/Directory.h"

#include <cstdio>
#include <memory>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int Entries = 32767;
constexpr int Repeats = 200; // each timing covers this many listings, as one is very short

constexpr std::size_t DirectoryBytes = (Entries + 1) * archive::RecordSize;

// The floor: the directory's bytes (with the record that ends it) in one read into memory of
// their own, as a listing holds its result in memory of its own; nothing decoded.
std::size_t PlainRead(const fs::path& path) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(DirectoryBytes);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t got = fd < 0 ? -1 : ::read(fd, buffer.get(), DirectoryBytes);
    if (fd >= 0)
        ::close(fd);
    if (got != static_cast<ssize_t>(DirectoryBytes))
        throw std::runtime_error("cannot read " + path.string());
    return static_cast<std::size_t>(buffer[DirectoryBytes - 1]) + 1;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        const fs::path path = args.Work / "list.dat";
        std::vector<std::pair<std::string, std::uint64_t>> entries;
        for (int k = 0; k < Entries; ++k)
            entries.emplace_back("F" + std::to_string(100000 + k).append(".TXT"), 1);
        bench::WriteArchive(path, entries);

        std::vector<double> list, read;
        std::size_t sink = 0;
        for (int run = 0; run < args.Runs; ++run) {
            read.push_back(bench::Time([&] {
                               for (int i = 0; i < Repeats; ++i)
                                   sink += PlainRead(path);
                           }) /
                           Repeats);
            list.push_back(bench::Time([&] {
                               for (int i = 0; i < Repeats; ++i) {
                                   const auto dir = archive::ReadDirectory(path);
                                   if (dir.Entries.size() != Entries)
                                       throw std::runtime_error("listed a wrong count");
                                   sink += dir.Entries.Name(Entries - 1).size();
                               }
                           }) /
                           Repeats);
        }
        fs::remove(path);
        if (sink == 0)
            return 1;

        const double ratio = bench::Median(list) / bench::Median(read);
        bench::Row("list 32767 entries vs one read of the directory",
                   bench::Format(bench::Median(list) * 1e3, "ms", 3),
                   bench::Format(bench::Median(read) * 1e3, "ms", 3),
                   "ratio " + bench::Format(ratio, ""), "<= 3", ratio <= 3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_list: %s\n", e.what());
        return 1;
    }
    return 0;
}
