// quillmarrow-cli: lists and extracts archive entries from the command line.

#include "archive/Directory.h"
#include "archive/Extract.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
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

// The length of the valid UTF-8 sequence at the start of `s` (no overlong forms, surrogates or
// values past U+10FFFF), or 0 when it does not start with one.
std::size_t Utf8Length(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    if (length == 0 || s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

// `text` fit for a terminal line: control characters (C0, DEL and the C1 range), bytes that are
// not UTF-8 and the backslash become \xNN and \\, so nothing breaks the line or acts on the
// terminal, and the original bytes can still be read off.
std::string Escaped(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto lead = static_cast<unsigned char>(text[0]);
        std::size_t length = Utf8Length(text);
        const bool c1 = lead == 0xC2 && length == 2 && static_cast<unsigned char>(text[1]) < 0xA0;
        if (lead == '\\') {
            out += "\\\\";
        } else if (length == 0 || lead < 32 || lead == 127 || c1) {
            length = c1 ? 2 : 1;
            for (std::size_t i = 0; i < length; ++i) {
                const auto b = static_cast<unsigned char>(text[i]);
                out.append({'\\', 'x', Hex[b >> 4], Hex[b & 15]});
            }
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

void Print(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

// One line on standard error, escaped: "quillmarrow-cli: SUBJECT: MESSAGE".
void Complain(std::string_view subject, std::string_view message) {
    std::string line;
    if (!subject.empty())
        line.append(subject).append(": ");
    line.append(message);
    Print(stderr, "quillmarrow-cli: " + Escaped(line) + "\n");
}

// Standard output with every write checked: after the first failure nothing more is written,
// and Finish reports it once.
class Output {
public:
    void Write(std::string_view text) {
        if (error_ == 0 && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
            error_ = errno != 0 ? errno : EIO;
    }

    // Flushes what is buffered; the exit status: 0, or 1 after one message when any byte was
    // not written.
    int Finish() {
        if (error_ == 0 && std::fflush(stdout) != 0)
            error_ = errno != 0 ? errno : EIO;
        if (error_ == 0)
            return 0;
        Complain({}, "cannot write to standard output: " + std::generic_category().message(error_));
        return 1;
    }

private:
    int error_ = 0;
};

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
    Output output;
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
            output.Write(out);
            out.clear();
        }
    }
    output.Write(out);
    return output.Finish();
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
            if (arg == "--help" || arg == "--version") {
                Output output;
                output.Write(arg == "--help" ? std::string(Usage) + Help
                                             : "quillmarrow-cli " QUILLMARROW_VERSION "\n");
                return output.Finish();
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
