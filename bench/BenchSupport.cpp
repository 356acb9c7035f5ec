#include "BenchSupport.h"

#include "archive/ArchiveEntry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

Args ParseArgs(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: %s WORKFOLDER RUNS\n", argv[0]);
        std::exit(2);
    }
    Args args{argv[1], std::atoi(argv[2])};
    fs::create_directories(args.Work);
    return args;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

ProgramRun Run(const std::vector<std::string>& command, int expectedStatus, bool quiet) {
    std::vector<char*> argv;
    for (const auto& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    ProgramRun result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (const int null = quiet ? ::open("/dev/null", O_WRONLY) : -1; null >= 0) {
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("cannot run " + command[0]);
    result.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus)
        throw std::runtime_error(command[0] + " failed");
    return result;
}

void WriteArchive(const fs::path& path,
                  const std::vector<std::pair<std::string, std::uint64_t>>& entries) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::uint64_t offset = (entries.size() + 1) * archive::RecordSize;
    for (const auto& [name, size] : entries) {
        out << archive::EncodeRecord(name, static_cast<std::int32_t>(offset),
                                     static_cast<std::int32_t>(size));
        offset += size;
    }
    out << archive::EncodeRecord("", 0, 0);

    // Fresh pseudo-random bytes for every MiB written (xorshift64).
    std::vector<std::uint64_t> chunk(1u << 17);
    const std::uint64_t chunkBytes = chunk.size() * sizeof chunk[0];
    std::uint64_t state = 0x9E3779B97F4A7C15u, used = chunkBytes;
    for (std::uint64_t left = offset - (entries.size() + 1) * archive::RecordSize; left > 0;) {
        if (used == chunkBytes) {
            for (auto& word : chunk) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                word = state;
            }
            used = 0;
        }
        const auto n = std::min(left, chunkBytes - used);
        out.write(reinterpret_cast<const char*>(chunk.data()) + used,
                  static_cast<std::streamsize>(n));
        used += n;
        left -= n;
    }
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

void Settle() {
    ::sync();
}

void FreshFolder(const fs::path& path) {
    fs::remove_all(path);
    fs::create_directories(path);
}

void Row(const std::string& figure, const std::string& value, const std::string& floor,
         const std::string& comparison, const std::string& goal, bool holds) {
    std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), value.c_str(), floor.c_str(),
                comparison.c_str(), goal.c_str(), holds ? "yes" : "NO");
    std::fflush(stdout);
}

std::string Format(double value, const char* unit, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s%s", decimals, value, *unit ? " " : "", unit);
    return text;
}

} // namespace bench
