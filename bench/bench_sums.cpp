// quillmarrow-cli sums, verify, diff and find against their floors: sha256sum and openssl of
// the same bytes, sums of the same archives, list of each archive; and the peak memory of sums
// and diff on a 1,000,000-entry archive against a 1-entry one.

#include "BenchSupport.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MiB = 1u << 20;

// `command` with its standard output in `file`.
std::vector<std::string> Into(const std::vector<std::string>& command, const fs::path& file) {
    std::string line = "exec";
    for (const std::string& arg : command)
        line += " '" + arg + "'";
    return {"sh", "-c", line + " > '" + file.string() + "'"};
}

// The medians of each command, run `runs` times in rotating order (and so the same order of
// the page cache's contents for each).
std::vector<double> Medians(const std::vector<std::vector<std::string>>& commands,
                            const std::vector<int>& statuses, int runs) {
    std::vector<std::vector<double>> seconds(commands.size());
    for (int run = 0; run < runs; ++run)
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const std::size_t c = (i + static_cast<std::size_t>(run)) % commands.size();
            seconds[c].push_back(bench::Run(commands[c], statuses[c], true).Seconds);
        }
    std::vector<double> medians;
    for (const auto& s : seconds)
        medians.push_back(bench::Median(s));
    return medians;
}

// 1 GiB of 256 entries: sums beside sha256sum and openssl dgst of the archive file (its bytes,
// the directory's 5 KiB more); verify against its list beside sums of it; diff with a copy
// that has one byte changed beside sums of both.
void Speed(const bench::Args& args) {
    const fs::path a = args.Work / "a.dat", b = args.Work / "b.dat", list = args.Work / "a.sum";
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < 256; ++k)
        entries.emplace_back("E" + std::to_string(1000 + k).append(".BIN"), 4 * MiB);
    bench::WriteArchive(a, entries);
    fs::copy_file(a, b);
    {
        std::fstream changed(b, std::ios::in | std::ios::out | std::ios::binary);
        changed.seekp(static_cast<std::streamoff>(fs::file_size(b) - 1000));
        changed.put('!');
    }
    bench::Run(Into({QUILLMARROW_CLI, "sums", a.string()}, list));
    bench::Settle();

    const std::vector<double> t = Medians({{QUILLMARROW_CLI, "sums", a.string()},
                                           {"sha256sum", a.string()},
                                           {"openssl", "dgst", "-sha256", a.string()},
                                           {QUILLMARROW_CLI, "verify", a.string(), list.string()},
                                           {QUILLMARROW_CLI, "sums", b.string()},
                                           {QUILLMARROW_CLI, "diff", a.string(), b.string()}},
                                          {0, 0, 0, 0, 0, 1}, args.Runs);
    fs::remove(a);
    fs::remove(b);
    fs::remove(list);
    bench::Settle();

    const double sha256sum = t[0] / t[1], openssl = t[0] / t[2];
    bench::Row("sums 256 x 4 MiB (1 GiB) vs sha256sum", bench::Format(t[0], "s"),
               bench::Format(t[1], "s"), "ratio " + bench::Format(sha256sum, ""), "<= 0.50",
               sha256sum <= 0.5);
    bench::Row("sums 256 x 4 MiB (1 GiB) vs openssl dgst -sha256", bench::Format(t[0], "s"),
               bench::Format(t[2], "s"), "ratio " + bench::Format(openssl, ""), "<= 1.20",
               openssl <= 1.2);
    const double verify = t[3] / t[0], diff = t[5] / (t[0] + t[4]);
    bench::Row("verify of 1 GiB vs sums of it", bench::Format(t[3], "s"), bench::Format(t[0], "s"),
               "ratio " + bench::Format(verify, ""), "<= 1.20", verify <= 1.2);
    bench::Row("diff of two 1 GiB archives vs sums of both", bench::Format(t[5], "s"),
               bench::Format(t[0] + t[4], "s"), "ratio " + bench::Format(diff, ""), "<= 1.20",
               diff <= 1.2);
}

// find in a folder of 1,000 archives of 1,000 entries beside list of each of them.
void Find(const bench::Args& args) {
    const fs::path folder = args.Work / "many";
    bench::FreshFolder(folder);
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    for (int k = 0; k < 1000; ++k)
        entries.emplace_back("E" + std::to_string(k).append(".BIN"), 16);
    std::vector<std::string> archives;
    for (int n = 0; n < 1000; ++n) {
        entries[0].first = n == 500 ? "WANTED.BIN" : "E0.BIN";
        archives.push_back(
            (folder / std::string("A").append(std::to_string(n)).append(".DAT")).string());
        bench::WriteArchive(archives.back(), entries);
    }
    bench::Settle();
    std::vector<double> find, list;
    for (int run = 0; run < args.Runs; ++run) {
        find.push_back(
            bench::Run({QUILLMARROW_CLI, "find", "WANTED.BIN", folder.string()}, 0, true).Seconds);
        list.push_back(bench::Time([&] {
            for (const std::string& archive : archives)
                bench::Run({QUILLMARROW_CLI, "list", archive}, 0, true);
        }));
    }
    fs::remove_all(folder);
    const double ratio = bench::Median(find) / bench::Median(list);
    bench::Row("find in 1,000 archives of 1,000 entries vs list of each",
               bench::Format(bench::Median(find), "s", 3),
               bench::Format(bench::Median(list), "s", 3), "ratio " + bench::Format(ratio, ""),
               "<= 1.00", ratio <= 1.0);
}

// Peak memory on 1,000,000 entries beside 1 entry: sums stays flat; diff holds the two
// directories, within the names and SHA-256 digests of both (2 x (12 + 32) bytes an entry).
void Memory(const bench::Args& args) {
    constexpr int Many = 1000000;
    const fs::path many = args.Work / "many.dat", one = args.Work / "one.dat";
    {
        // Gone before the runs: a child's peak memory counts what it was forked with.
        std::vector<std::pair<std::string, std::uint64_t>> entries;
        for (int k = 0; k < Many; ++k)
            entries.emplace_back("E" + std::to_string(k).append(".B"), 1);
        bench::WriteArchive(many, entries);
    }
    bench::WriteArchive(one, {{"E0", 1}});
    std::vector<double> sumsMany, sumsOne, diffMany, diffOne;
    for (int run = 0; run < args.Runs; ++run) {
        sumsMany.push_back(bench::Run({QUILLMARROW_CLI, "sums", many.string()}, 0, true).PeakMiB);
        sumsOne.push_back(bench::Run({QUILLMARROW_CLI, "sums", one.string()}, 0, true).PeakMiB);
        diffMany.push_back(
            bench::Run({QUILLMARROW_CLI, "diff", many.string(), many.string()}, 0, true).PeakMiB);
        diffOne.push_back(
            bench::Run({QUILLMARROW_CLI, "diff", one.string(), one.string()}, 0, true).PeakMiB);
    }
    fs::remove(many);
    fs::remove(one);
    const double sums = bench::Median(sumsMany) - bench::Median(sumsOne);
    bench::Row("peak memory, sums of 1,000,000 entries vs 1 entry",
               bench::Format(bench::Median(sumsMany), "MiB", 1),
               bench::Format(bench::Median(sumsOne), "MiB", 1),
               "difference " + bench::Format(sums, "MiB", 1), "<= 4 MiB", sums <= 4);
    const double perEntry = (bench::Median(diffMany) - bench::Median(diffOne)) * MiB / Many;
    bench::Row("peak memory, diff of 1,000,000 entries vs 1 entry",
               bench::Format(bench::Median(diffMany), "MiB", 1),
               bench::Format(bench::Median(diffOne), "MiB", 1),
               bench::Format(perEntry, "bytes", 1) + " an entry", "<= 88 bytes an entry",
               perEntry <= 88);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        Speed(args);
        Find(args);
        Memory(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_sums: %s\n", e.what());
        return 1;
    }
    return 0;
}
