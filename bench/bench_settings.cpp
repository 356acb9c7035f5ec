// The settings store and the folder label on large inputs: loading 100,000 keys in several
// arrival orders against 200,000 (processor time, which must grow linearly), the program's start
// with a 50 MB settings file against a start without one, and fitting a 20,000-character path into
// the folder label against a 260-character one.
//
// The starts run bench_startup's `--program APPFOLDER` mode, which starts the way the program's
// main() does, with the settings file in APPFOLDER.

#include "BenchSupport.h"

#include "settings/clsINI.h"
#include "winutil/modDrawText.h"
#include "winutil/modScreen.h"

#include <QApplication>
#include <QLabel>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>

#include <time.h>

namespace fs = std::filesystem;

namespace {

constexpr int Keys = 100000;
constexpr qint64 LargeFile = 50 * 1000 * 1000;
constexpr int FitsPerRun = 20;

// A settings file of one section with the given key names, each with a short value.
void WriteKeys(const fs::path& path, const std::vector<std::string>& names) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "[S]\r\n";
    for (const std::string& name : names)
        out << name << "=v\r\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

// A settings file of "[General]" and then body, repeated to reach LargeFile bytes.
void WriteLarge(const fs::path& path, const std::string& head, const std::string& body) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "[General]\r\n" << head;
    for (qint64 size = 11 + static_cast<qint64>(head.size()); size < LargeFile;
         size += static_cast<qint64>(body.size()))
        out << body;
    out << "\r\n";
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

using Order = std::function<std::vector<std::string>(int count)>;

std::vector<std::string> Numbers(int count) {
    std::vector<std::string> names;
    for (int k = 1; k <= count; ++k)
        names.push_back(std::to_string(k));
    return names;
}

std::vector<std::string> Names(int count) {
    std::vector<std::string> names;
    char name[16];
    for (int k = 1; k <= count; ++k) {
        std::snprintf(name, sizeof name, "key%07d", k);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> Reversed(std::vector<std::string> names) {
    std::reverse(names.begin(), names.end());
    return names;
}

std::vector<std::string> Shuffled(std::vector<std::string> names) {
    std::shuffle(names.begin(), names.end(), std::mt19937(12345));
    return names;
}

// The processor time of one load: the load's own work, whatever else the machine runs.
double LoadSeconds(const fs::path& path, const std::string& first) {
    clsINI ini;
    timespec start{}, end{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    ini.LoadINI(QString::fromStdString(path.string()));
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    const double seconds =
        static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
    if (ini.ReadString("S", QString::fromStdString(first)) != "v")
        throw std::runtime_error("the keys were not loaded");
    return seconds;
}

void LoadRows(const bench::Args& args) {
    const std::vector<std::pair<const char*, Order>> orders = {
        {"numbers ascending", Numbers},
        {"numbers descending", [](int n) { return Reversed(Numbers(n)); }},
        {"numbers random", [](int n) { return Shuffled(Numbers(n)); }},
        {"names ascending", Names},
        {"names descending", [](int n) { return Reversed(Names(n)); }},
        {"names random", [](int n) { return Shuffled(Names(n)); }},
        {"numbers and names random",
         [](int n) {
             std::vector<std::string> names = Numbers(n / 2);
             for (std::string& name : Names(n - n / 2))
                 names.push_back(std::move(name));
             return Shuffled(std::move(names));
         }},
    };
    const fs::path path = args.Work / "keys.ini";
    for (const auto& [what, order] : orders) {
        std::vector<double> once, twice;
        for (const int count : {Keys, 2 * Keys}) {
            const std::vector<std::string> names = order(count);
            WriteKeys(path, names);
            for (int run = 0; run < args.Runs; ++run)
                (count == Keys ? once : twice).push_back(LoadSeconds(path, names.front()));
        }
        const double single = bench::Median(once);
        const double ratio = bench::Median(twice) / single;
        bench::Row(std::string("load 200,000 keys vs 100,000 (CPU), ") + what,
                   bench::Format(bench::Median(twice) * 1e3, "ms", 1),
                   bench::Format(single * 1e3, "ms", 1), "ratio " + bench::Format(ratio, ""),
                   "<= 2.5; 100,000 <= 1 s", ratio <= 2.5 && single <= 1);
    }
    fs::remove(path);
}

// The program's starts until its window is shown: without a settings file, with 50 MB of
// "k=v" lines, and with a 50 MB folder.
void StartRows(const bench::Args& args) {
    const fs::path appFolder = args.Work / "settings-app";
    const fs::path ini = appFolder / "Quillmarrow.ini";
    bench::FreshFolder(appFolder);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("QT_LOGGING_RULES", "*.warning=false", 1);
    const std::vector<std::string> start{QUILLMARROW_BENCH_STARTUP, "--program",
                                         appFolder.string()};
    const auto starts = [&] {
        std::vector<double> seconds, peaks;
        for (int run = 0; run < args.Runs; ++run) {
            const bench::ProgramRun r = bench::Run(start);
            seconds.push_back(r.Seconds);
            peaks.push_back(r.PeakMiB);
        }
        return std::pair{bench::Median(seconds), bench::Median(peaks)};
    };
    bench::Run(start); // not counted: loads the libraries into the page cache
    const double plain = starts().first;

    WriteLarge(ini, "", "k=v\r\n");
    const double fileMiB = static_cast<double>(fs::file_size(ini)) / (1024.0 * 1024.0);
    const auto [keys, keysPeak] = starts();
    bench::Row("start with 50 MB of k=v lines vs no settings file", bench::Format(keys, "s"),
               bench::Format(plain, "s"), "ratio " + bench::Format(keys / plain, ""), "<= 30 s",
               keys <= 30);
    bench::Row("peak memory of that start vs the file's size", bench::Format(keysPeak, "MiB", 0),
               bench::Format(fileMiB, "MiB", 0), "ratio " + bench::Format(keysPeak / fileMiB, ""),
               "<= 10", keysPeak <= 10 * fileMiB);

    WriteLarge(ini, "Folder=", "/folder");
    const double folder = starts().first;
    bench::Row("start with a 50 MB folder vs no settings file", bench::Format(folder, "s"),
               bench::Format(plain, "s"), "ratio " + bench::Format(folder / plain, ""), "<= 2 s",
               folder <= 2);
    fs::remove_all(appFolder);
}

// Fitting a long path into the folder label at its design width, against a path of the
// classic 260-character limit.
void FitRows(const bench::Args& args, int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget form;
    QLabel label(&form);
    modScreen::Move(&label, 120, 120, 3975, 315);
    const auto path = [](int size) {
        QString text = QStringLiteral("/home/someone");
        while (text.size() < size - 9)
            text += QStringLiteral("/folder");
        return text.left(size - 9) + QStringLiteral("/Archives");
    };
    const QString longPath = path(20000);
    const QString shortPath = path(260);
    std::vector<double> longTimes, shortTimes;
    for (int run = 0; run < args.Runs; ++run) {
        for (const QString* p : {&longPath, &shortPath}) {
            const double seconds = bench::Time([&] {
                for (int i = 0; i < FitsPerRun; ++i)
                    modDrawText::FitPath(&form, &label, *p);
            });
            (p == &longPath ? longTimes : shortTimes).push_back(seconds / FitsPerRun);
        }
    }
    if (!label.text().endsWith(QStringLiteral("/Archives")))
        throw std::runtime_error("the path was not fitted");
    const double fit = bench::Median(longTimes);
    bench::Row("fit a 20,000-character path vs a 260-character one", bench::Format(fit * 1e3, "ms"),
               bench::Format(bench::Median(shortTimes) * 1e3, "ms"),
               "ratio " + bench::Format(fit / bench::Median(shortTimes), ""), "<= 20 ms",
               fit <= 0.020);
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv);
    try {
        // The starts come first: a child counts the memory this process holds when it forks.
        StartRows(args);
        LoadRows(args);
        FitRows(args, argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_settings: %s\n", e.what());
        return 1;
    }
    return 0;
}
