// quillmarrow-cli writing archives against its floors: create of many small files against GNU
// tar archiving the same files, and replace of one entry of a large archive against cp of it.

#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1u << 20;

void CheckSize(const fs::path& file, std::uint64_t size) {
    if (fs::file_size(file) != size)
        throw std::runtime_error(file.string() + " has the wrong size");
}

// 20,000 files of 1 KiB on tmpfs, where the cost is the system calls per file, into an archive
// against GNU tar writing a tar of the same files, in the same runs and alternating order.
void CreateSmall(const bench::Args& args) {
    constexpr int Files = 20000;
    constexpr std::uint64_t FileSize = 1024;
    std::string shm = "/dev/shm/quillmarrow-bench-XXXXXX";
    const bool onTmpfs = fs::is_directory("/dev/shm") && ::mkdtemp(shm.data()) != nullptr;
    const fs::path work = onTmpfs ? fs::path(shm) : args.Work / "small";
    fs::create_directories(work);
    const fs::path source = work / "source.dat", in = work / "in", archive = work / "new.dat",
                   tar = work / "new.tar";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < Files; ++k)
        entries.emplace_back("S" + std::to_string(100000 + k).append(".BIN"), FileSize);
    bench::WriteArchive(source, entries);
    bench::FreshFolder(in);
    bench::Run({QUILLMARROW_CLI, "extract", source.string(), in.string()});
    fs::remove(source);

    // Both get the same list of files by the same paths (tar says once that it drops their
    // leading slash, hence quiet).
    std::vector<std::string> create{QUILLMARROW_CLI, "create", archive.string()},
        tarCreate{"tar", "-cf", tar.string()};
    for (const auto& entry : entries) {
        create.push_back((in / entry.first).string());
        tarCreate.push_back(create.back());
    }
    std::vector<double> ours, gnu;
    // A run takes a fifth of a second, where this machine's noise is large: at least 15 runs.
    for (int run = 0; run < std::max(args.Runs, 15); ++run) {
        fs::remove(archive);
        fs::remove(tar);
        const auto timeOurs = [&] { ours.push_back(bench::Run(create).Seconds); };
        const auto timeTar = [&] { gnu.push_back(bench::Run(tarCreate, 0, true).Seconds); };
        if (run % 2 == 0)
            timeOurs(), timeTar();
        else
            timeTar(), timeOurs();
        CheckSize(archive, (Files + 1) * 20 + Files * FileSize);
    }
    fs::remove_all(work);

    const double ratio = bench::Median(ours) / bench::Median(gnu);
    bench::Row(
        std::string("create 20000 x 1 KiB") + (onTmpfs ? " (tmpfs)" : "") + " vs GNU tar -cf",
        bench::Format(bench::Median(ours), "s", 3), bench::Format(bench::Median(gnu), "s", 3),
        "ratio " + bench::Format(ratio, ""), "<= 1.00", ratio <= 1.00);
}

// Replacing one entry in the middle of a 1 GiB archive of 256 entries (by one of another size,
// so that the entries after it move) against cp of the archive in the same folder. The new
// archive is on the disk before it takes the archive's place, and the old one is freed, which
// cp to a new file does not do: the same steps by hand (cp, sync of the copy, mv of it over the
// archive) are measured beside it as its like-for-like floor.
void ReplaceOne(const bench::Args& args) {
    constexpr int Entries = 256;
    constexpr std::uint64_t EntrySize = 4 * MiB;
    fs::create_directories(args.Work);
    const fs::path archive = args.Work / "big.dat", copy = args.Work / "copy.dat",
                   file = args.Work / "E1128.BIN";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < Entries; ++k)
        entries.emplace_back("E" + std::to_string(1000 + k).append(".BIN"), EntrySize);
    bench::WriteArchive(archive, entries);
    bench::WriteArchive(file, {{"X", 3 * MiB + 7}});
    const std::uint64_t size = fs::file_size(archive) - EntrySize + fs::file_size(file);

    std::vector<double> ours, cp, byHand;
    const auto timeOurs = [&] {
        bench::Settle();
        ours.push_back(
            bench::Run({QUILLMARROW_CLI, "replace", archive.string(), file.string()}).Seconds);
        CheckSize(archive, size);
    };
    const auto timeCopy = [&] {
        fs::remove(copy);
        bench::Settle();
        cp.push_back(bench::Run({"cp", archive.string(), copy.string()}).Seconds);
        byHand.push_back(cp.back() + bench::Run({"sync", copy.string()}).Seconds +
                         bench::Run({"mv", copy.string(), archive.string()}).Seconds);
    };
    for (int run = 0; run < args.Runs; ++run) {
        if (run % 2 == 0)
            timeOurs(), timeCopy();
        else
            timeCopy(), timeOurs();
    }
    fs::remove(archive);
    fs::remove(file);
    bench::Settle();

    const double ratio = bench::Median(ours) / bench::Median(cp);
    bench::Row("replace 1 entry of a 1 GiB archive vs cp of it",
               bench::Format(bench::Median(ours), "s"), bench::Format(bench::Median(cp), "s"),
               "ratio " + bench::Format(ratio, "") + " (cp, sync and mv over it " +
                   bench::Format(bench::Median(byHand), "s") + ", ratio " +
                   bench::Format(bench::Median(ours) / bench::Median(byHand), "") + ")",
               "<= 1.20", ratio <= 1.20);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        CreateSmall(args);
        ReplaceOne(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_write: %s\n", e.what());
        return 1;
    }
    return 0;
}
