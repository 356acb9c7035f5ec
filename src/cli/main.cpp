// quillmarrow-cli: lists and extracts archive entries from the command line.

#include "archive/Directory.h"
#include "archive/Extract.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUILLMARROW_VERSION
#define QUILLMARROW_VERSION "0"
#endif

namespace {

namespace fs = std::filesystem;

constexpr const char* Usage = "usage: quillmarrow-cli list [-l|--long] ARCHIVE\n"
                              "       quillmarrow-cli extract ARCHIVE FOLDER [ENTRY...]\n"
                              "       quillmarrow-cli --help\n"
                              "       quillmarrow-cli --version\n";

constexpr const char* Help =
    "\n"
    "  list      write the entry names of ARCHIVE, one a line, in directory order;\n"
    "            --long writes INDEX<TAB>OFFSET<TAB>SIZE<TAB>NAME\n"
    "  extract   copy entries of ARCHIVE into the existing FOLDER, one file each; an ENTRY\n"
    "            starting with a digit is a 0-based position, any other is a name (every\n"
    "            entry of that name); no ENTRY extracts every entry\n"
    "  --help    show this help\n"
    "  --version show the version\n"
    "\n"
    "Options come before the operands; -- ends them. Exit status: 0 when every entry was\n"
    "written whole, 1 when an entry was cut short or not written, 2 for a usage error or a\n"
    "missing archive or folder.\n";

struct UsageError {
    std::string Message;
};

void Print(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

void Complain(std::string_view subject, std::string_view message) {
    std::string line = "quillmarrow-cli: ";
    if (!subject.empty())
        line.append(subject).append(": ");
    line.append(message).append("\n");
    Print(stderr, line);
}

// Reads the archive's directory or reports why it cannot; the caller exits with 2 then.
bool Load(const std::string& path, archive::Directory& dir) {
    dir = archive::ReadDirectory(fs::path(path));
    switch (dir.State) {
    case archive::Directory::Status::Read:
        return true;
    case archive::Directory::Status::NotFound:
        Complain(path, "no such archive");
        return false;
    case archive::Directory::Status::Unreadable:
        Complain(path, "cannot read the archive: " + dir.Error);
        return false;
    }
    return false;
}

int List(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    bool longFormat = false;
    for (const auto& o : options) {
        if (o != "-l" && o != "--long")
            throw UsageError{"unknown option for list: " + o};
        longFormat = true;
    }
    if (operands.size() != 1)
        throw UsageError{"list takes one ARCHIVE"};
    archive::Directory dir;
    if (!Load(operands[0], dir))
        return 2;
    std::string out;
    for (std::size_t k = 0; k < dir.Entries.size(); ++k) {
        if (longFormat) {
            const archive::ArchiveEntry e = dir.Entries[k];
            out += std::to_string(k) + '\t' + std::to_string(e.Offset) + '\t' +
                   std::to_string(e.Size) + '\t';
        }
        out += dir.Entries.Name(k);
        out += '\n';
        if (out.size() >= (1u << 16)) {
            Print(stdout, out);
            out.clear();
        }
    }
    Print(stdout, out);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Turns the ENTRY operands into ascending list positions; every entry when there are none.
std::vector<int> SelectPositions(const archive::Directory& dir,
                                 const std::vector<std::string>& entries) {
    const int count = static_cast<int>(dir.Entries.size());
    std::set<int> chosen;
    for (const auto& entry : entries) {
        if (!entry.empty() && entry[0] >= '0' && entry[0] <= '9') {
            if (entry.find_first_not_of("0123456789") != std::string::npos)
                throw UsageError{"not a position: " + entry};
            const auto value = entry.size() > 10 ? -1LL : std::stoll(entry);
            if (value < 0 || value >= count)
                throw UsageError{"no entry at position " + entry + " (the archive has " +
                                 std::to_string(count) + " entries)"};
            chosen.insert(static_cast<int>(value));
            continue;
        }
        bool found = false;
        for (int k = 0; k < count; ++k)
            if (dir.Entries.Name(static_cast<std::size_t>(k)) == entry) {
                chosen.insert(k);
                found = true;
            }
        if (!found)
            throw UsageError{"no entry named " + entry};
    }
    if (entries.empty())
        for (int k = 0; k < count; ++k)
            chosen.insert(k);
    return {chosen.begin(), chosen.end()};
}

int Extract(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    if (!options.empty())
        throw UsageError{"unknown option for extract: " + options.front()};
    if (operands.size() < 2)
        throw UsageError{"extract takes ARCHIVE and FOLDER"};
    archive::Directory dir;
    if (!Load(operands[0], dir))
        return 2;
    const fs::path folder(operands[1]);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        Complain(operands[1], "no such folder");
        return 2;
    }
    const std::vector<int> positions = SelectPositions(dir, {operands.begin() + 2, operands.end()});
    const archive::ExtractReport report = archive::ExtractEntries(
        fs::path(operands[0]), folder, positions, static_cast<int>(dir.Entries.size()));
    for (const auto& e : report.Entries) {
        if (e.Result == archive::EntryResult::Kind::Written)
            continue;
        const std::string_view name =
            e.Name.empty() ? dir.Entries.Name(static_cast<std::size_t>(e.Position)) : e.Name;
        Complain(name, archive::Describe(e));
    }
    return report.AllWritten() ? 0 : 1;
}

int Run(const std::vector<std::string>& args) {
    // Options come before the operands; "--" ends them.
    std::string command;
    std::vector<std::string> options, operands;
    bool optionsEnded = false;
    for (const auto& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help") {
                Print(stdout, std::string(Usage) + Help);
                return 0;
            }
            if (arg == "--version") {
                Print(stdout, "quillmarrow-cli " QUILLMARROW_VERSION "\n");
                return 0;
            }
            options.push_back(arg);
        } else if (command.empty()) {
            command = arg;
        } else {
            operands.push_back(arg);
            optionsEnded = true;
        }
    }
    if (command == "list")
        return List(options, operands);
    if (command == "extract")
        return Extract(options, operands);
    throw UsageError{command.empty() ? "no command given" : "unknown command: " + command};
}

} // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit then fails with an error we report, instead of
    // ending the program with the entry half done.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        Complain({}, e.Message);
        Print(stderr, Usage);
        return 2;
    } catch (const std::exception& e) {
        Complain({}, e.what());
        return 2;
    }
}
