// quillmarrow-cli: lists and extracts archive entries from the command line.

#include "Version.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "archive/Check.h"
#include "archive/Extract.h"
#include "archive/Signals.h"
#include "cli/Platform.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* Usage =
    "usage: quillmarrow-cli list [-l|--long] ARCHIVE\n"
    "       quillmarrow-cli extract [-k|--keep-existing] ARCHIVE FOLDER [ENTRY...]\n"
    "       quillmarrow-cli create [--force] ARCHIVE FILE...\n"
    "       quillmarrow-cli add ARCHIVE FILE...\n"
    "       quillmarrow-cli replace ARCHIVE FILE...\n"
    "       quillmarrow-cli remove ARCHIVE ENTRY...\n"
    "       quillmarrow-cli --help\n"
    "       quillmarrow-cli --version\n";

constexpr const char* Help =
    "\n"
    "  list      write the entry names of ARCHIVE, one a line, in directory order;\n"
    "            --long writes INDEX<TAB>OFFSET<TAB>SIZE<TAB>NAME\n"
    "  extract   copy entries of ARCHIVE into the existing FOLDER, one file each; an ENTRY\n"
    "            starting with a digit is a 0-based position, any other is a name (every\n"
    "            entry of that name); no ENTRY extracts every entry. A file that exists\n"
    "            under an entry's name is replaced\n"
    "  -k, --keep-existing   (extract) keep a file that exists under an entry's name\n"
    "  create    write a new ARCHIVE of the FILEs in the order given, each under its file\n"
    "            name; an existing ARCHIVE is replaced only with --force\n"
    "  add       append the FILEs to ARCHIVE as new entries\n"
    "  replace   make each FILE the data of the entry of its name, in its place\n"
    "  remove    drop the ENTRYs (taken as extract takes them) from ARCHIVE\n"
    "  --help    show this help\n"
    "  --version show the version\n"
    "\n"
    "Options come before the operands; -- ends them. Exit status: 0 when every entry was\n"
    "written whole, 1 when an entry was cut short or not written, 2 for a usage error or an\n"
    "archive or folder that cannot be opened. An archive is written whole beside the old one\n"
    "and replaces it only when done; when any input is refused nothing is written (status 1).\n";

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
    bool Ok() const { return error_ == 0; }

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

// Opens the archive or reports why it cannot; the caller exits with 2 then.
bool Open(const std::string& path, archive::Archive& archive) {
    archive = archive::Archive(cli::PathArgument(path));
    if (!archive.IsOpen())
        Complain(path, archive::Describe(archive.Error()));
    return archive.IsOpen();
}

// Reports a read error in the middle of the directory; the caller exits with 1 then.
int ReadFailed(const std::string& path, std::error_code ec) {
    Complain(path, archive::Describe(archive::OpenError{archive::OpenError::Kind::Unreadable,
                                                        archive::OpenError::Subject::Archive, ec}));
    return 1;
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
    archive::Archive archive;
    if (!Open(operands[0], archive))
        return 2;
    // The directory is printed as it is read, so memory stays the same however long it is.
    Output output;
    std::string out;
    std::error_code ec;
    archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            if (longFormat)
                out.append(std::to_string(k))
                    .append(1, '\t')
                    .append(std::to_string(e.Offset))
                    .append(1, '\t')
                    .append(std::to_string(e.Size))
                    .append(1, '\t');
            out.append(e.Name).append(1, '\n');
            if (out.size() >= (1u << 16)) {
                output.Write(out);
                out.clear();
            }
            return output.Ok();
        },
        ec);
    output.Write(out);
    const int status = output.Finish();
    return ec ? ReadFailed(operands[0], ec) : status;
}

// The entries that the ENTRY operands select, resolved in one walk of the directory. Positions
// given by number keep the name found there, so that a record changed since is not extracted;
// the entries of a name are found again as they are extracted, so that nothing is kept for
// each of them however many there are.
struct Selection {
    std::map<std::int64_t, std::string> Numbered; // position operands and the names found there
    std::vector<int> Positions;                   // those below Count, ascending
    std::vector<std::string_view> Names;          // into Numbered, one for each of Positions
    std::set<std::string, std::less<>> ByName;    // name operands
    int Count = 0;                                // the entries in the directory
};

// A position operand: digits only, any number of them. Throws a usage error otherwise; a number
// past every position is MaxRecords.
std::int64_t ParsePosition(const std::string& entry) {
    if (entry.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError{"not a position: " + entry};
    std::int64_t position = 0;
    const auto parsed = std::from_chars(entry.data(), entry.data() + entry.size(), position);
    return parsed.ec == std::errc() ? std::min(position, archive::MaxRecords) : archive::MaxRecords;
}

// Fills s (which Names point into, so it stays where it is) from one walk of the directory.
void Select(const archive::Archive& archive, const std::vector<std::string>& entries, Selection& s,
            std::error_code& ec) {
    // Position operands start with a digit, any other operand is a name.
    for (const auto& entry : entries)
        if (!entry.empty() && entry[0] >= '0' && entry[0] <= '9')
            s.Numbered[ParsePosition(entry)];
        else
            s.ByName.insert(entry);

    std::set<std::string_view> found;
    s.Count = static_cast<int>(archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            const auto byNumber = s.Numbered.find(k);
            if (byNumber != s.Numbered.end())
                byNumber->second = e.Name;
            const auto byName = s.ByName.find(e.Name);
            if (byName != s.ByName.end())
                found.insert(*byName);
            return true;
        },
        ec));
    if (ec)
        return;
    for (const auto& entry : entries) {
        if (s.ByName.contains(entry) && !found.contains(entry))
            throw UsageError{"no entry named " + entry};
        if (!s.ByName.contains(entry) && ParsePosition(entry) >= s.Count)
            throw UsageError{"no entry at position " + entry + " (the archive has " +
                             std::to_string(s.Count) + " entries)"};
    }
    for (const auto& [k, name] : s.Numbered) {
        s.Positions.push_back(static_cast<int>(k));
        s.Names.push_back(name);
    }
}

int Extract(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    archive::ExtractOptions extract;
    for (const auto& o : options) {
        if (o != "-k" && o != "--keep-existing")
            throw UsageError{"unknown option for extract: " + o};
        extract.KeepExisting = true;
    }
    if (operands.size() < 2)
        throw UsageError{"extract takes ARCHIVE and FOLDER"};
    const std::string& path = operands[0];
    // Names become entry-name bytes by the platform's rule; positions stay as given.
    std::vector<std::string> entries;
    for (auto it = operands.begin() + 2; it != operands.end(); ++it)
        entries.push_back(
            !it->empty() && (*it)[0] >= '0' && (*it)[0] <= '9' ? *it : cli::EntryNameArgument(*it));
    // One open file for resolving the operands and for extracting, so that a file put in the
    // archive's place meanwhile is never read.
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    Selection selection;
    if (!entries.empty())
        Select(archive, entries, selection, ec);
    if (ec)
        return ReadFailed(path, ec);

    extract.ListedNames = selection.Names;
    archive::NameFilter byName;
    if (!selection.ByName.empty())
        byName = [&](std::string_view name) { return selection.ByName.contains(name); };
    // Each problem is printed as it is found; nothing is kept for each entry. An output folder
    // that cannot be opened is one message below, not one for each entry.
    extract.OnResult = [](const archive::EntryResult& e) {
        using Kind = archive::EntryResult::Kind;
        if (e.Result != Kind::Written && e.Result != Kind::NotOpened)
            Complain(e.Name.empty() ? "entry " + std::to_string(e.Position) : e.Name,
                     archive::Describe(e));
    };
    archive::RemovePartialFileOnSignals();
    const fs::path folder = cli::PathArgument(operands[1]);
    const archive::ExtractReport report =
        entries.empty() ? archive::ExtractEveryEntry(archive, folder, extract)
                        : archive::ExtractEntries(archive, folder, selection.Positions, byName,
                                                  selection.Count, extract);
    if (report.FolderError) {
        Complain(operands[1], archive::Describe(report.FolderError));
        return 2;
    }
    if (report.ArchiveError) // the archive is open: reading it failed on the way
        Complain(path, archive::Describe(report.ArchiveError));
    return report.AllWritten() ? 0 : 1;
}

// Writing archives. Each entry's subject in messages: the FILE as given, or a kept entry's name.
struct NewArchive {
    std::vector<archive::WriteEntry> Entries;
    std::vector<std::string> Subjects;
    std::vector<std::pair<std::string, std::string>>
        Refused; // subject and message, found before the archive core's checks

    void AddFile(const std::string& file) {
        Entries.push_back({cli::FileNameArgument(file), cli::PathArgument(file)});
        Subjects.push_back(file);
        if (Entries.back().Name.empty() && !file.empty() && file.back() != '/')
            Refuse(file, "the system's code page cannot write its name");
    }
    void Keep(const archive::ArchiveEntry& e) {
        Entries.push_back({e.Name, {}, e.Offset, e.Size});
        Subjects.push_back(e.Name);
    }
    void Refuse(const std::string& subject, const std::string& message) {
        Refused.emplace_back(subject, message);
    }
};

// Writes the archive, or reports each refusal (or the failure) on a line of its own: 0 when
// it was written, 1 otherwise.
int Write(const std::string& path, const NewArchive& a, archive::WriteOptions options) {
    for (const auto& [subject, message] : a.Refused)
        Complain(subject, message);
    options.CheckOnly = !a.Refused.empty();
    archive::RemovePartialFileOnSignals();
    const archive::WriteReport report =
        archive::WriteArchive(cli::PathArgument(path), a.Entries, options);
    const auto complain = [&](const archive::WriteProblem& p) {
        Complain(p.Entry < 0 ? path : a.Subjects[static_cast<std::size_t>(p.Entry)], p.Message);
    };
    for (const auto& problem : report.Refused)
        complain(problem);
    if (!report.Failed.Message.empty())
        complain(report.Failed);
    return report.Written() && a.Refused.empty() ? 0 : 1;
}

int Create(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    archive::WriteOptions write;
    for (const auto& o : options) {
        if (o != "--force")
            throw UsageError{"unknown option for create: " + o};
        write.ReplaceExisting = true;
    }
    if (operands.empty())
        throw UsageError{"create takes ARCHIVE and FILE..."};
    NewArchive a;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        a.AddFile(*file);
    return Write(operands[0], a, write);
}

// add, replace and remove: the archive's directory, opened for editing. The exit status when
// it cannot be edited, or -1.
int OpenForEditing(const std::string& command, const std::vector<std::string>& options,
                   const std::vector<std::string>& operands, archive::Archive& archive,
                   std::vector<archive::ArchiveEntry>& entries) {
    if (!options.empty())
        throw UsageError{"unknown option for " + command + ": " + options.front()};
    if (operands.size() < 2)
        throw UsageError{command + " takes ARCHIVE and " +
                         (command == "remove" ? "ENTRY..." : "FILE...")};
    if (!Open(operands[0], archive))
        return 2;
    // Only an archive that check finds no problem in is edited.
    bool problems = false;
    const archive::CheckReport check = archive::CheckArchive(archive, [&](const auto& f) {
        if (f.What != archive::Finding::Kind::Problem)
            return;
        Complain(operands[0], "cannot be edited: entry " + std::to_string(f.Position) + ' ' +
                                  f.Name + ": " + f.Text);
        problems = true;
    });
    if (check.ReadError)
        return ReadFailed(operands[0], check.ReadError);
    if (problems)
        return 1;
    std::error_code ec;
    archive.WalkDirectory(
        [&](int, const archive::ArchiveEntry& e) {
            entries.push_back(e);
            return true;
        },
        ec);
    return ec ? ReadFailed(operands[0], ec) : -1;
}

// add and replace: the archive's entries with the FILEs appended or in place of the entries
// of their names.
int AddOrReplace(const std::string& command, const std::vector<std::string>& options,
                 const std::vector<std::string>& operands) {
    archive::Archive archive;
    std::vector<archive::ArchiveEntry> entries;
    if (const int status = OpenForEditing(command, options, operands, archive, entries);
        status >= 0)
        return status;
    NewArchive a;
    for (const auto& e : entries)
        a.Keep(e);
    for (auto file = operands.begin() + 1; file != operands.end(); ++file) {
        if (command == "add") {
            a.AddFile(*file);
            continue;
        }
        const std::string name = cli::FileNameArgument(*file);
        const auto old = std::find_if(entries.begin(), entries.end(),
                                      [&](const auto& e) { return e.Name == name; });
        const std::size_t k = static_cast<std::size_t>(old - entries.begin());
        if (old == entries.end())
            a.Refuse(*file, "no entry named " + name);
        else if (!a.Entries[k].File.empty())
            a.Refuse(*file, "entry " + std::to_string(k) + " is replaced by " + a.Subjects[k]);
        else
            a.Entries[k].File = cli::PathArgument(*file), a.Subjects[k] = *file;
    }
    archive::WriteOptions write;
    write.Old = &archive;
    return Write(operands[0], a, write);
}

int Remove(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    archive::Archive archive;
    std::vector<archive::ArchiveEntry> entries;
    if (const int status = OpenForEditing("remove", options, operands, archive, entries);
        status >= 0)
        return status;
    std::vector<std::string> named;
    for (auto it = operands.begin() + 1; it != operands.end(); ++it)
        named.push_back(
            !it->empty() && (*it)[0] >= '0' && (*it)[0] <= '9' ? *it : cli::EntryNameArgument(*it));
    Selection selection;
    std::error_code ec;
    Select(archive, named, selection, ec);
    if (ec)
        return ReadFailed(operands[0], ec);
    NewArchive a;
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (!selection.Numbered.contains(static_cast<std::int64_t>(k)) &&
            !selection.ByName.contains(entries[k].Name))
            a.Keep(entries[k]);
    archive::WriteOptions write;
    write.Old = &archive;
    return Write(operands[0], a, write);
}

// "1 entry", "2 entries".
std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

int Check(const std::vector<std::string>& options, const std::vector<std::string>& operands) {
    if (!options.empty())
        throw UsageError{"unknown option for check: " + options.front()};
    if (operands.empty())
        throw UsageError{"check takes one ARCHIVE or more"};
    Output output;
    int status = 0;
    for (const std::string& path : operands) {
        archive::Archive archive;
        if (!Open(path, archive)) {
            status = 2;
            continue;
        }
        const archive::CheckReport report =
            archive::CheckArchive(archive, [&](const archive::Finding& f) {
                const bool note = f.What == archive::Finding::Kind::Note;
                output.Write(Escaped(path + ": entry " + std::to_string(f.Position) + ' ' + f.Name +
                                     ": " + (note ? "note: " : "") + f.Text) +
                             '\n');
            });
        if (report.ReadError) {
            ReadFailed(path, report.ReadError);
            status = 2;
            continue;
        }
        output.Write(Escaped(path + ": " + Count(report.Entries, "entry", "entries") + ", " +
                             Count(report.Problems, "problem", "problems") + ", " +
                             Count(report.Notes, "note", "notes")) +
                     '\n');
        if (report.Problems > 0)
            status = std::max(status, 1);
    }
    return std::max(status, output.Finish());
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
    if (command == "create")
        return Create(options, operands);
    if (command == "add" || command == "replace")
        return AddOrReplace(command, options, operands);
    if (command == "remove")
        return Remove(options, operands);
    if (command == "check")
        return Check(options, operands);
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
        return Run(cli::StartUp(argc, argv));
    } catch (const UsageError& e) {
        Complain({}, e.Message);
        Print(stderr, Usage);
        return 2;
    } catch (const std::bad_alloc&) {
        Complain({}, "not enough memory to go on");
        return 1;
    } catch (const std::exception& e) {
        Complain({}, e.what());
        return 2;
    }
}
