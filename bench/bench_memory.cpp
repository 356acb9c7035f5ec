// The peak memory of quillmarrow-cli on a directory of 10 million records against the same
// command on a directory of one record: listing, extracting every entry, extracting one
// position and extracting a name that every record has must not grow with the directory.

#include "BenchSupport.h"

#include "archive/ArchiveEntry.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t Records = 10'000'000;

// An archive of `count` records named R0000000 ... (or all `sameName`); all but the last have a
// negative size, so that extracting every entry reports each of them and writes one file.
void WriteRecords(const fs::path& path, std::int32_t count, const char* sameName = nullptr) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::int32_t data = (count + 1) * static_cast<std::int32_t>(archive::RecordSize);
    std::string block;
    char name[16];
    for (std::int32_t k = 0; k < count; ++k) {
        std::snprintf(name, sizeof name, "R%07d", k);
        block += archive::EncodeRecord(sameName ? sameName : name, data, k == count - 1 ? 1 : -1);
        if (block.size() >= (1u << 20) || k == count - 1) {
            out << block;
            block.clear();
        }
    }
    out << archive::EncodeRecord("", 0, 0) << 'x';
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

struct Command {
    const char* Figure;
    std::vector<std::string> Args; // after the program; "@" stands for the archive, "@same"
                                   // for the one whose records all have one name
    int ManyStatus;                // the exit status on the large archive
};

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        const fs::path many = args.Work / "records.dat", one = args.Work / "record.dat";
        const fs::path manySame = args.Work / "same.dat", oneSame = args.Work / "same1.dat";
        const fs::path out = args.Work / "out";
        WriteRecords(many, Records);
        WriteRecords(one, 1);
        WriteRecords(manySame, Records, "SAME");
        WriteRecords(oneSame, 1, "SAME");

        const std::string last = std::to_string(Records - 1);
        const Command commands[] = {
            {"list", {"list", "@"}, 0},
            {"list --long", {"list", "--long", "@"}, 0},
            {"extract every entry", {"extract", "@", out.string()}, 1},
            {"extract the last position", {"extract", "@", out.string(), "@last"}, 0},
            {"extract a name every record has", {"extract", "@same", out.string(), "SAME"}, 1},
        };
        for (const Command& c : commands) {
            std::vector<double> manyPeak, onePeak;
            for (int run = 0; run < args.Runs; ++run) {
                for (const bool large : {true, false}) {
                    std::vector<std::string> command{QUILLMARROW_CLI};
                    for (const std::string& a : c.Args)
                        command.push_back(a == "@"       ? (large ? many : one).string()
                                          : a == "@same" ? (large ? manySame : oneSame).string()
                                          : a == "@last" ? (large ? last : "0")
                                                         : a);
                    bench::FreshFolder(out);
                    (large ? manyPeak : onePeak)
                        .push_back(bench::Run(command, large ? c.ManyStatus : 0, true).PeakMiB);
                }
            }
            const double peak = bench::Median(manyPeak), floor = bench::Median(onePeak);
            bench::Row(std::string("peak memory, ") + c.Figure + ", 10M records vs 1",
                       bench::Format(peak, "MiB", 1), bench::Format(floor, "MiB", 1),
                       "ratio " + bench::Format(peak / floor, ""), "<= 32 MiB", peak <= 32);
        }
        fs::remove_all(out);
        for (const fs::path& archive : {many, one, manySame, oneSame})
            fs::remove(archive);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_memory: %s\n", e.what());
        return 1;
    }
    return 0;
}
