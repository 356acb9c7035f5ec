#pragma once

// What the benchmark programs share: running a program and measuring it, medians, archives
// written straight to disk, and the rows of the table that bench/run prints.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Every benchmark program is run as `PROGRAM WORKFOLDER RUNS`: it keeps its data files in
// WORKFOLDER (which the caller deletes afterwards) and measures each figure RUNS times.
struct Args {
    std::filesystem::path Work;
    int Runs = 5;
};
Args ParseArgs(int argc, char** argv);

double Median(std::vector<double> values);

struct ProgramRun {
    double Seconds = 0;
    double PeakMiB = 0; // the program's peak resident memory
};

// Runs a program and waits for it; stops the benchmark when it does not exit with
// expectedStatus. With quiet set, its standard output and error go to /dev/null.
ProgramRun Run(const std::vector<std::string>& command, int expectedStatus = 0, bool quiet = false);

// Seconds taken by `what`.
template <class F> double Time(F&& what) {
    const auto start = std::chrono::steady_clock::now();
    what();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Writes an archive of (name, size) entries in directory order, the data filled with bytes
// that no file system can compress or share, without holding it in memory.
void WriteArchive(const std::filesystem::path& path,
                  const std::vector<std::pair<std::string, std::uint64_t>>& entries);

// Writes the dirty pages of earlier runs to disk, so that one run does not pay for another.
void Settle();

// An empty folder at path, whatever was there before.
void FreshFolder(const std::filesystem::path& path);

// One row of the table: the figure, its median, the floor's median, how they compare, the
// goal, and whether it holds.
void Row(const std::string& figure, const std::string& value, const std::string& floor,
         const std::string& comparison, const std::string& goal, bool holds);

std::string Format(double value, const char* unit, int decimals = 2);

} // namespace bench
