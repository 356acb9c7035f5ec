// quillmarrow-cli: lists and extracts archive entries from the command line.

#include "Version.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "archive/Check.h"
#include "archive/Escape.h"
#include "archive/Extract.h"
#include "archive/Signals.h"
#include "cli/EntrySelection.h"
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
    "usage: quillmarrow-cli list [-l|--long|--json] ARCHIVE\n"
    "       quillmarrow-cli extract [-k] [-v] [-i] [--exclude PATTERN]... ARCHIVE FOLDER "
    "[ENTRY...]\n"
    "       quillmarrow-cli extract-each [-k] [-v] [-i] [--exclude PATTERN]... FOLDER ARCHIVE...\n"
    "       quillmarrow-cli cat [-v] [-i] [--exclude PATTERN]... ARCHIVE ENTRY...\n"
    "       quillmarrow-cli check ARCHIVE...\n"
    "       quillmarrow-cli create [--force] ARCHIVE FILE...\n"
    "       quillmarrow-cli add ARCHIVE FILE...\n"
    "       quillmarrow-cli replace ARCHIVE FILE...\n"
    "       quillmarrow-cli remove [-i] [--exclude PATTERN]... ARCHIVE ENTRY...\n"
    "       quillmarrow-cli --help\n"
    "       quillmarrow-cli --version\n";

constexpr const char* Help =
    "\n"
    "  list                 write the entry names of ARCHIVE, one a line, in directory order\n"
    "  extract              copy entries of ARCHIVE into the existing FOLDER, one file each\n"
    "                       (no ENTRY: every entry); an existing file is replaced unless -k\n"
    "  extract-each         extract every entry of each ARCHIVE into FOLDER/STEM (STEM-2 ...\n"
    "                       when an earlier ARCHIVE or a file has that name)\n"
    "  cat                  write the data of the ENTRYs to standard output, in the order given\n"
    "  check                report each problem and note in the directory of each ARCHIVE\n"
    "  create               write a new ARCHIVE of the FILEs in the order given, each under\n"
    "                       its file name; an existing ARCHIVE is replaced only with --force\n"
    "  add                  append the FILEs to ARCHIVE as new entries\n"
    "  replace              make each FILE the data of the entry of its name, in its place\n"
    "  remove               drop the ENTRYs from ARCHIVE\n"
    "  -l, --long           (list) write INDEX<TAB>OFFSET<TAB>SIZE<TAB>NAME\n"
    "  --json               (list) write one JSON object a line: index, offset, size, name\n"
    "                       (null when not UTF-8), name_hex\n"
    "  -k, --keep-existing  keep a file that exists under an entry's name\n"
    "  -v, --verbose        write each entry's name on standard error as it is written\n"
    "  -i, --ignore-case    fold ASCII case in names, patterns and --exclude patterns\n"
    "  --exclude PATTERN    leave out the entries that PATTERN matches (repeatable)\n"
    "  --force              (create) replace an existing ARCHIVE\n"
    "  --help               show this help\n"
    "  --version            show the version\n"
    "\n"
    "An ENTRY starting with a digit is a 0-based position, one holding *, ? or [ a pattern\n"
    "(fnmatch rules, byte for byte; \\ makes the next character literal), any other a name\n"
    "(every entry of that name). An ENTRY that matches nothing is reported and the others are\n"
    "still taken. Options come before the operands; -- ends them. Exit status: 0 when every\n"
    "entry was written whole (check: no problem), 1 when an entry was cut short or not\n"
    "written, an ENTRY matched nothing, or check found a problem, 2 for a usage error or an\n"
    "archive or folder that cannot be opened. An archive is written whole beside the old one\n"
    "and replaces it only when done; when any input is refused nothing is written (status 1).\n";

using cli::UsageError;

void Print(std::FILE* to, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

// One line on standard error, escaped: "quillmarrow-cli: SUBJECT: MESSAGE".
void Complain(std::string_view subject, std::string_view message) {
    std::string line;
    if (!subject.empty())
        line.append(subject).append(": ");
    line.append(message);
    Print(stderr, "quillmarrow-cli: " + archive::Escaped(line) + "\n");
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

// The options of a command, from the arguments before its operands.
struct Flags {
    bool Long = false, Json = false, KeepExisting = false, Verbose = false, Force = false;
    cli::SelectionRules Rules;
};

// Reads the options; `allowed` holds the letters of those the command takes: l (--long),
// j (--json), k (--keep-existing), v (--verbose), i (--ignore-case), x (--exclude=PATTERN),
// f (--force).
Flags ParseOptions(const std::string& command, const std::vector<std::string>& options,
                   std::string_view allowed) {
    Flags flags;
    for (const std::string& o : options) {
        char letter = 0;
        if (o == "-l" || o == "--long")
            letter = 'l', flags.Long = true;
        else if (o == "--json")
            letter = 'j', flags.Json = true;
        else if (o == "-k" || o == "--keep-existing")
            letter = 'k', flags.KeepExisting = true;
        else if (o == "-v" || o == "--verbose")
            letter = 'v', flags.Verbose = true;
        else if (o == "-i" || o == "--ignore-case")
            letter = 'i', flags.Rules.IgnoreCase = true;
        else if (o == "--force")
            letter = 'f', flags.Force = true;
        else if (o.starts_with("--exclude="))
            letter = 'x', flags.Rules.Excludes.push_back(cli::EntryNameArgument(o.substr(10)));
        if (letter == 0 || allowed.find(letter) == std::string_view::npos)
            throw UsageError{"unknown option for " + command + ": " + o};
    }
    return flags;
}

// A name as a JSON string: escaped as JSON requires, control characters as \u00XX.
void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out.append(1, '\\').append(1, c);
        else if (byte < 0x20)
            out.append("\\u00").append(1, Hex[byte >> 4]).append(1, Hex[byte & 15]);
        else
            out += c;
    }
    out += '"';
}

// One line of list --json: {"index":K,"offset":O,"size":S,"name":"TEXT","name_hex":"HEX"}.
void AppendJson(std::string& out, int k, const archive::ArchiveEntry& e) {
    static constexpr char Hex[] = "0123456789abcdef";
    out.append("{\"index\":")
        .append(std::to_string(k))
        .append(",\"offset\":")
        .append(std::to_string(e.Offset))
        .append(",\"size\":")
        .append(std::to_string(e.Size))
        .append(",\"name\":");
    if (archive::IsUtf8(e.Name))
        AppendJsonString(out, e.Name);
    else
        out.append("null");
    out.append(",\"name_hex\":\"");
    for (const char c : e.Name)
        out.append(1, Hex[static_cast<unsigned char>(c) >> 4])
            .append(1, Hex[static_cast<unsigned char>(c) & 15]);
    out.append("\"}\n");
}

int List(const Flags& flags, const std::vector<std::string>& operands) {
    if (operands.size() != 1)
        throw UsageError{"list takes one ARCHIVE"};
    if (flags.Long && flags.Json)
        throw UsageError{"list takes --long or --json, not both"};
    archive::Archive archive;
    if (!Open(operands[0], archive))
        return 2;
    // The directory is printed as it is read, so memory stays the same however long it is.
    Output output;
    std::string out;
    std::error_code ec;
    archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            if (flags.Json) {
                AppendJson(out, k, e);
            } else {
                if (flags.Long)
                    out.append(std::to_string(k))
                        .append(1, '\t')
                        .append(std::to_string(e.Offset))
                        .append(1, '\t')
                        .append(std::to_string(e.Size))
                        .append(1, '\t');
                out.append(e.Name).append(1, '\n');
            }
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

// The ENTRY operands as given, resolved against the archive; each that matches nothing is one
// message. 1 when there was one, 0 otherwise.
int Resolve(const archive::Archive& archive, cli::EntrySelection& selection, std::error_code& ec) {
    if (!selection.Every())
        selection.Resolve(archive, ec);
    const std::vector<std::string> unmatched =
        ec ? std::vector<std::string>() : selection.Unmatched();
    for (const std::string& entry : unmatched)
        Complain(entry, "no entry matches");
    return unmatched.empty() ? 0 : 1;
}

// The selection for ENTRY operands: positions stay as given, names and patterns become
// entry-name bytes by the platform's rule.
cli::EntrySelection Selection(const std::vector<std::string>& entries, const Flags& flags) {
    std::vector<std::string> bytes;
    for (const std::string& entry : entries)
        bytes.push_back(!entry.empty() && entry[0] >= '0' && entry[0] <= '9'
                            ? entry
                            : cli::EntryNameArgument(entry));
    return cli::EntrySelection(entries, bytes, flags.Rules);
}

// A name as it is written, for --verbose.
void Verbose(const Flags& flags, std::string_view name) {
    if (flags.Verbose)
        Print(stderr, archive::Escaped(name) + "\n");
}

// Extracts the selected entries into folder, printing each problem as it is found: nothing is
// kept for each entry. An output folder that cannot be opened is left to the caller.
archive::ExtractReport ExtractSelected(const archive::Archive& archive, const fs::path& folder,
                                       const cli::EntrySelection& selection, const Flags& flags) {
    archive::ExtractOptions extract;
    extract.KeepExisting = flags.KeepExisting;
    extract.ListedNames = selection.ListedNames();
    extract.OnResult = [&](const archive::EntryResult& e) {
        using Kind = archive::EntryResult::Kind;
        if (e.Result == Kind::Written || e.Result == Kind::CutShort)
            Verbose(flags, e.Name);
        if (e.Result != Kind::Written && e.Result != Kind::NotOpened)
            Complain(e.Name.empty() ? "entry " + std::to_string(e.Position) : e.Name,
                     archive::Describe(e));
    };
    archive::RemovePartialFileOnSignals();
    return archive::ExtractEntries(
        archive, folder, selection.Positions(), selection.ByName(),
        selection.Every() ? static_cast<int>(archive::MaxRecords) : selection.Count(), extract);
}

int Extract(const Flags& flags, const std::vector<std::string>& operands) {
    if (operands.size() < 2)
        throw UsageError{"extract takes ARCHIVE and FOLDER"};
    const std::string& path = operands[0];
    cli::EntrySelection selection = Selection({operands.begin() + 2, operands.end()}, flags);
    // One open file for resolving the operands and for extracting, so that a file put in the
    // archive's place meanwhile is never read.
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    const int unmatched = Resolve(archive, selection, ec);
    if (ec)
        return ReadFailed(path, ec);
    const archive::ExtractReport report =
        ExtractSelected(archive, cli::PathArgument(operands[1]), selection, flags);
    if (report.FolderError) {
        Complain(operands[1], archive::Describe(report.FolderError));
        return 2;
    }
    if (report.ArchiveError) // the archive is open: reading it failed on the way
        Complain(path, archive::Describe(report.ArchiveError));
    return report.AllWritten() ? unmatched : 1;
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
        if (Entries.back().Name.empty() && !file.empty() &&
            file.find_last_of("/\\") != file.size() - 1)
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

int Create(const Flags& flags, const std::vector<std::string>& operands) {
    if (operands.empty())
        throw UsageError{"create takes ARCHIVE and FILE..."};
    NewArchive a;
    for (auto file = operands.begin() + 1; file != operands.end(); ++file)
        a.AddFile(*file);
    archive::WriteOptions write;
    write.ReplaceExisting = flags.Force;
    return Write(operands[0], a, write);
}

// add, replace and remove: the archive's directory, opened for editing. The exit status when
// it cannot be edited, or -1.
int OpenForEditing(const std::string& command, const std::vector<std::string>& operands,
                   archive::Archive& archive, std::vector<archive::ArchiveEntry>& entries) {
    if (operands.size() < 2)
        throw UsageError{command + " takes ARCHIVE and " +
                         (command == "remove" ? "ENTRY..." : "FILE...")};
    if (!Open(operands[0], archive))
        return 2;
    archive::EditableDirectory dir = archive::ReadForEditing(archive);
    for (const std::string& problem : dir.Problems)
        Complain(operands[0], problem);
    if (dir.ReadError)
        return ReadFailed(operands[0], dir.ReadError);
    if (!dir.Problems.empty())
        return 1;
    entries = std::move(dir.Entries);
    return -1;
}

// add and replace: the archive's entries with the FILEs appended or in place of the entries
// of their names.
int AddOrReplace(const std::string& command, const std::vector<std::string>& operands) {
    archive::Archive archive;
    std::vector<archive::ArchiveEntry> entries;
    if (const int status = OpenForEditing(command, operands, archive, entries); status >= 0)
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

int Add(const Flags&, const std::vector<std::string>& operands) {
    return AddOrReplace("add", operands);
}

int Replace(const Flags&, const std::vector<std::string>& operands) {
    return AddOrReplace("replace", operands);
}

// The ENTRYs are taken as extract takes them; one that matches nothing is refused.
int Remove(const Flags& flags, const std::vector<std::string>& operands) {
    archive::Archive archive;
    std::vector<archive::ArchiveEntry> entries;
    if (const int status = OpenForEditing("remove", operands, archive, entries); status >= 0)
        return status;
    cli::EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
    std::error_code ec;
    const int unmatched = Resolve(archive, selection, ec);
    if (ec)
        return ReadFailed(operands[0], ec);
    if (unmatched)
        return 1;
    NewArchive a;
    for (std::size_t k = 0; k < entries.size(); ++k)
        if (!selection.Selects(static_cast<std::int64_t>(k), entries[k].Name))
            a.Keep(entries[k]);
    archive::WriteOptions write;
    write.Old = &archive;
    return Write(operands[0], a, write);
}

// "1 entry", "2 entries".
std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

// The folder of one archive of extract-each: FOLDER/STEM, or when an earlier archive of this run
// took that name, or something other than a folder has it, the first of STEM-2, STEM-3 ... that
// is free so. A stem of ".", ".." or nothing names FOLDER or the folder above it, never a folder
// of its own: it starts at STEM-2 (".-2", "..-2", "-2"). `taken` holds the names used so far, in
// lower case.
std::string EachFolderName(const fs::path& folder, const std::string& stem,
                           std::set<std::string>& taken) {
    const bool notAFolderName = stem.empty() || stem == "." || stem == "..";
    for (int n = notAFolderName ? 2 : 1;; ++n) {
        const std::string name = n == 1 ? stem : stem + "-" + std::to_string(n);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(folder / cli::PathArgument(name), ec);
        std::string folded = name;
        for (char& c : folded)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (!taken.contains(folded) && (!fs::exists(status) || fs::is_directory(status))) {
            taken.insert(std::move(folded));
            return name;
        }
    }
}

int ExtractEach(const Flags& flags, const std::vector<std::string>& operands) {
    if (operands.size() < 2)
        throw UsageError{"extract-each takes FOLDER and ARCHIVE..."};
    const fs::path folder = cli::PathArgument(operands[0]);
    std::error_code ec;
    fs::create_directories(folder, ec); // a folder that cannot be made is reported below
    const cli::EntrySelection every = Selection({}, flags);
    std::set<std::string> taken;
    int status = 0;
    for (auto path = operands.begin() + 1; path != operands.end(); ++path) {
        archive::Archive archive;
        if (!Open(*path, archive)) {
            status = 2;
            continue;
        }
        const std::u8string stem8 = cli::PathArgument(*path).filename().stem().u8string();
        const std::string stem(stem8.begin(), stem8.end());
        const std::string name = operands[0] + "/" + EachFolderName(folder, stem, taken);
        fs::create_directory(cli::PathArgument(name), ec);
        const archive::ExtractReport report =
            ExtractSelected(archive, cli::PathArgument(name), every, flags);
        if (report.FolderError) {
            Complain(name, archive::Describe(report.FolderError));
            status = 2;
            continue;
        }
        if (report.ArchiveError)
            Complain(*path, archive::Describe(report.ArchiveError));
        Complain(*path, Count(report.EntryCount, "entry", "entries") + " into " + name + ", " +
                            Count(report.Problems, "problem", "problems"));
        status = std::max(status, report.AllWritten() ? 0 : 1);
    }
    return status;
}

// Writes one entry's data to the output; reports a problem as extract does. 1 then.
int CatEntry(const archive::Archive& archive, int k, const archive::ArchiveEntry& entry,
             const Flags& flags, Output& output) {
    using Kind = archive::EntryResult::Kind;
    archive::EntryResult e;
    e.Position = k;
    e.Name = entry.Name;
    e.Offset = entry.Offset;
    e.Size = entry.Size;
    e.Result = !entry.Complete                      ? Kind::RecordCutShort
               : entry.Offset < 0 || entry.Size < 0 ? Kind::NegativeRange
                                                    : Kind::Written;
    if (e.Result == Kind::Written) {
        Verbose(flags, e.Name);
        static std::vector<char> buffer(1u << 20);
        for (auto left = static_cast<std::uint64_t>(e.Size); left > 0 && output.Ok();) {
            const auto want =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            const std::size_t got =
                archive.ReadAt(buffer.data(), want,
                               static_cast<std::uint64_t>(e.Offset) + e.BytesWritten, e.Error);
            if (e.Error) {
                e.Result = Kind::ReadFailed;
                break;
            }
            output.Write({buffer.data(), got});
            e.BytesWritten += got;
            left -= got;
            if (got < want)
                break;
        }
        if (e.Result == Kind::Written && e.BytesWritten < static_cast<std::uint64_t>(e.Size))
            e.Result = Kind::CutShort;
    }
    if (e.Result == Kind::Written || !output.Ok())
        return 0;
    Complain(e.Name, archive::Describe(e));
    return 1;
}

int Cat(const Flags& flags, const std::vector<std::string>& operands) {
    if (operands.size() < 2)
        throw UsageError{"cat takes ARCHIVE and ENTRY..."};
    const std::string& path = operands[0];
    cli::EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    int status = Resolve(archive, selection, ec);
    Output output;
    // In the order given: one walk of the directory for each operand, so nothing is kept for
    // the entries it picks.
    for (std::size_t i = 0; i < selection.Size() && !ec && output.Ok(); ++i) {
        const std::int64_t position = selection.Position(i);
        archive.WalkDirectory(
            [&](int k, const archive::ArchiveEntry& e) {
                if (position >= 0 && k > position)
                    return false;
                if (selection.Picks(i, k, e.Name) && !selection.Excluded(e.Name))
                    status = std::max(status, CatEntry(archive, k, e, flags, output));
                return output.Ok();
            },
            ec);
    }
    status = std::max(status, output.Finish());
    return ec ? ReadFailed(path, ec) : status;
}

int Check(const Flags&, const std::vector<std::string>& operands) {
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
                output.Write(archive::Escaped(path + ": entry " + std::to_string(f.Position) + ' ' +
                                              f.Name + ": " + (note ? "note: " : "") + f.Text) +
                             '\n');
            });
        if (report.ReadError) {
            ReadFailed(path, report.ReadError);
            status = 2;
            continue;
        }
        output.Write(archive::Escaped(path + ": " + Count(report.Entries, "entry", "entries") +
                                      ", " + Count(report.Problems, "problem", "problems") + ", " +
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
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "--version") {
                Output output;
                output.Write(arg == "--help" ? std::string(Usage) + Help
                                             : "quillmarrow-cli " QUILLMARROW_VERSION "\n");
                return output.Finish();
            }
            if (arg == "--exclude") {
                if (i + 1 == args.size())
                    throw UsageError{"--exclude takes a PATTERN"};
                options.push_back("--exclude=" + args[++i]);
            } else if (arg[1] != '-') {
                for (std::size_t c = 1; c < arg.size(); ++c) // -kv is -k -v
                    options.push_back({'-', arg[c]});
            } else {
                options.push_back(arg);
            }
        } else if (command.empty()) {
            command = arg;
        } else {
            operands.push_back(arg);
            optionsEnded = true;
        }
    }
    static const std::map<
        std::string,
        std::pair<std::string_view, int (*)(const Flags&, const std::vector<std::string>&)>>
        Commands = {{"list", {"lj", List}},
                    {"extract", {"kvix", Extract}},
                    {"extract-each", {"kvix", ExtractEach}},
                    {"cat", {"vix", Cat}},
                    {"check", {"", Check}},
                    {"create", {"f", Create}},
                    {"add", {"", Add}},
                    {"replace", {"", Replace}},
                    {"remove", {"ix", Remove}}};
    const auto found = Commands.find(command);
    if (found == Commands.end())
        throw UsageError{command.empty() ? "no command given" : "unknown command: " + command};
    const auto& [allowed, run] = found->second;
    return run(ParseOptions(command, options, allowed), operands);
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
