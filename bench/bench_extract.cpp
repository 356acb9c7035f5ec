// quillmarrow-cli extract against its floors: the time of cp for the same bytes, GNU tar and
// bsdtar extracting the same small files, and the program's own peak memory on a tiny entry.

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1u << 20;

void CheckFiles(const fs::path& folder, std::size_t count, std::uint64_t size) {
    std::size_t seen = 0;
    for (const auto& f : fs::directory_iterator(folder)) {
        ++seen;
        if (fs::file_size(f.path()) != size)
            throw std::runtime_error(f.path().string() + " has the wrong size");
    }
    if (seen != count)
        throw std::runtime_error("extraction wrote " + std::to_string(seen) + " files");
}

// Every entry of a 1 GiB archive of 256 entries against cp of the archive file.
void ExtractAll(const bench::Args& args) {
    constexpr int Entries = 256;
    constexpr std::uint64_t EntrySize = 4 * MiB;
    const fs::path archive = args.Work / "all.dat";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < Entries; ++k)
        entries.emplace_back("E" + std::to_string(1000 + k).append(".BIN"), EntrySize);
    bench::WriteArchive(archive, entries);

    const fs::path out = args.Work / "out";
    std::vector<double> extract, copy;
    const auto timeCopy = [&] {
        bench::FreshFolder(out);
        bench::Settle();
        copy.push_back(bench::Run({"cp", archive.string(), (out / "all.dat").string()}).Seconds);
    };
    const auto timeExtract = [&] {
        bench::FreshFolder(out);
        bench::Settle();
        extract.push_back(
            bench::Run({QUILLMARROW_CLI, "extract", archive.string(), out.string()}).Seconds);
    };
    // The order alternates, so that neither always follows the other's clean-up.
    for (int run = 0; run < args.Runs; ++run) {
        if (run % 2 == 0) {
            timeCopy();
            timeExtract();
            CheckFiles(out, Entries, EntrySize);
        } else {
            timeExtract();
            CheckFiles(out, Entries, EntrySize);
            timeCopy();
        }
    }
    fs::remove_all(out);
    fs::remove(archive);
    bench::Settle();

    const double ratio = bench::Median(extract) / bench::Median(copy);
    bench::Row("extract 256 x 4 MiB (1 GiB) vs cp", bench::Format(bench::Median(extract), "s"),
               bench::Format(bench::Median(copy), "s"), "ratio " + bench::Format(ratio, ""),
               "<= 1.10", ratio <= 1.10);
}

// 20,000 entries of 1 KiB on tmpfs, where the cost is the system calls per file, against GNU
// tar and bsdtar extracting a tar of the same files, in the same runs and rotating order.
void SmallEntries(const bench::Args& args) {
    constexpr int Entries = 20000;
    constexpr std::uint64_t EntrySize = 1024;
    std::string shm = "/dev/shm/quillmarrow-bench-XXXXXX";
    const bool onTmpfs = fs::is_directory("/dev/shm") && ::mkdtemp(shm.data()) != nullptr;
    const fs::path work = onTmpfs ? fs::path(shm) : args.Work / "small";
    fs::create_directories(work);
    const fs::path archive = work / "small.dat", tar = work / "small.tar", out = work / "out";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < Entries; ++k)
        entries.emplace_back("S" + std::to_string(100000 + k).append(".BIN"), EntrySize);
    bench::WriteArchive(archive, entries);
    // The tar holds the very files the archive's entries become.
    bench::FreshFolder(out);
    bench::Run({QUILLMARROW_CLI, "extract", archive.string(), out.string()});
    bench::Run({"tar", "-cf", tar.string(), "-C", out.string(), "."});

    const std::vector<std::vector<std::string>> programs = {
        {QUILLMARROW_CLI, "extract", archive.string(), out.string()},
        {"tar", "-xf", tar.string(), "-C", out.string()},
        {"bsdtar", "-xf", tar.string(), "-C", out.string()},
    };
    std::vector<std::vector<double>> seconds(programs.size());
    for (int run = 0; run < args.Runs; ++run)
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const std::size_t p = (i + static_cast<std::size_t>(run)) % programs.size();
            bench::FreshFolder(out);
            seconds[p].push_back(bench::Run(programs[p]).Seconds);
            CheckFiles(out, Entries, EntrySize);
        }
    fs::remove_all(work);

    const double ours = bench::Median(seconds[0]), gnu = bench::Median(seconds[1]),
                 bsd = bench::Median(seconds[2]);
    bench::Row(std::string("extract 20000 x 1 KiB") + (onTmpfs ? " (tmpfs)" : "") +
                   " vs GNU tar, bsdtar",
               bench::Format(ours, "s", 3), bench::Format(gnu, "s", 3),
               "ratio " + bench::Format(ours / gnu, "") + " (bsdtar " + bench::Format(bsd, "s", 3) +
                   ", ratio " + bench::Format(ours / bsd, "") + ")",
               "<= 1.00 x GNU tar", ours <= gnu);
}

// The peak resident memory of extracting one 512 MiB entry against one of 1 KiB.
void PeakMemory(const bench::Args& args) {
    const fs::path big = args.Work / "big.dat", small = args.Work / "small.dat";
    bench::WriteArchive(big, {{"BIG.BIN", 512 * MiB}});
    bench::WriteArchive(small, {{"SMALL.BIN", 1024}});

    const fs::path out = args.Work / "out";
    std::vector<double> bigPeak, smallPeak;
    for (int run = 0; run < args.Runs; ++run) {
        bench::FreshFolder(out);
        bench::Settle();
        bigPeak.push_back(
            bench::Run({QUILLMARROW_CLI, "extract", big.string(), out.string()}).PeakMiB);
        bench::FreshFolder(out);
        smallPeak.push_back(
            bench::Run({QUILLMARROW_CLI, "extract", small.string(), out.string()}).PeakMiB);
    }
    fs::remove_all(out);
    fs::remove(big);
    fs::remove(small);
    bench::Settle();

    const double difference = bench::Median(bigPeak) - bench::Median(smallPeak);
    bench::Row("peak memory, extract 512 MiB entry vs 1 KiB entry",
               bench::Format(bench::Median(bigPeak), "MiB", 1),
               bench::Format(bench::Median(smallPeak), "MiB", 1),
               "difference " + bench::Format(difference, "MiB", 1), "<= 32 MiB", difference <= 32);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        ExtractAll(args);
        SmallEntries(args);
        PeakMemory(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_extract: %s\n", e.what());
        return 1;
    }
    return 0;
}
