// quillmarrow-cli writing archives against its floors: create of many small files against GNU
// tar archiving the same files, and replace of one entry of a large archive against copying it
// by hand, on the build folder's file system and on XFS.

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

// Replacing one entry in the middle of a 1 GiB archive of 256 entries, in the folder `work`,
// against the same steps done by hand: a copy of the archive to a new file (`cp
// --reflink=never`, so that the blocks are copied), `sync` of it and `mv` of it over the
// archive, as the new archive too is on the disk before it takes the archive's place. An edit
// copies the old archive and writes only what changed: where the file system shares blocks the
// copy is a clone, and the goal is a tenth of the hand-done copy.
void ReplaceOne(const bench::Args& args, const fs::path& work, const std::string& where,
                double goal) {
    constexpr int Entries = 256;
    constexpr std::uint64_t EntrySize = 4 * MiB;
    fs::create_directories(work);
    const fs::path archive = work / "big.dat", copy = work / "copy.dat", file = work / "E1128.BIN";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < Entries; ++k)
        entries.emplace_back("E" + std::to_string(1000 + k).append(".BIN"), EntrySize);
    bench::WriteArchive(archive, entries);
    bench::WriteArchive(file, {{"X", 3 * MiB + 7}}); // fits the entry's place
    const std::uint64_t size = fs::file_size(archive);

    std::vector<double> ours, byHand;
    const auto timeOurs = [&] {
        bench::Settle();
        ours.push_back(
            bench::Run({QUILLMARROW_CLI, "replace", archive.string(), file.string()}).Seconds);
        CheckSize(archive, size);
    };
    const auto timeByHand = [&] {
        fs::remove(copy);
        bench::Settle();
        byHand.push_back(
            bench::Run({"cp", "--reflink=never", archive.string(), copy.string()}).Seconds +
            bench::Run({"sync", copy.string()}).Seconds +
            bench::Run({"mv", copy.string(), archive.string()}).Seconds);
    };
    for (int run = 0; run < args.Runs; ++run) {
        if (run % 2 == 0)
            timeOurs(), timeByHand();
        else
            timeByHand(), timeOurs();
    }
    fs::remove(archive);
    fs::remove(file);
    bench::Settle();

    const double ratio = bench::Median(ours) / bench::Median(byHand);
    bench::Row("replace 1 entry of a 1 GiB archive (" + where + ") vs cp, sync, mv by hand",
               bench::Format(bench::Median(ours), "s"), bench::Format(bench::Median(byHand), "s"),
               "ratio " + bench::Format(ratio, ""), "<= " + bench::Format(goal, ""), ratio <= goal);
}

// The same on XFS, which shares blocks: an image file in the work folder, mounted through a
// loop device. Skipped, with the reason, where that cannot be done (no mkfs.xfs, not root).
void ReplaceOneOnXfs(const bench::Args& args) {
    const fs::path image = args.Work / "xfs.img", mount = args.Work / "xfs";
    fs::create_directories(mount);
    std::string why;
    if (std::system("command -v mkfs.xfs >/dev/null 2>&1") != 0)
        why = "needs mkfs.xfs (xfsprogs)";
    else if (std::system(("truncate -s 4G '" + image.string() + "' && mkfs.xfs -q '" +
                          image.string() + "' >/dev/null 2>&1")
                             .c_str()) != 0)
        why = "mkfs.xfs failed";
    else if (std::system(
                 ("mount -o loop '" + image.string() + "' '" + mount.string() + "' >/dev/null 2>&1")
                     .c_str()) != 0)
        why = "cannot mount a loop device here (needs root)";
    if (!why.empty()) {
        fs::remove(image);
        bench::Row("replace 1 entry of a 1 GiB archive (XFS) vs cp, sync, mv by hand", "-", "-",
                   "skipped: " + why, "<= 0.10", true);
        return;
    }
    try {
        ReplaceOne(args, mount / "work", "XFS, blocks shared", 0.10);
    } catch (...) {
        std::system(("umount '" + mount.string() + "'").c_str());
        fs::remove(image);
        throw;
    }
    std::system(("umount '" + mount.string() + "'").c_str());
    fs::remove(image);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        CreateSmall(args);
        ReplaceOne(args, args.Work, "the build folder's file system", 1.05);
        ReplaceOneOnXfs(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_write: %s\n", e.what());
        return 1;
    }
    return 0;
}
