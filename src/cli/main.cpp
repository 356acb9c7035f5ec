// quillmarrow-cli: lists, extracts and writes archives from the command line. This file holds
// the usage and the table of commands; each command is a file of its own in commands/.

#include "Version.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include <algorithm>
#include <csignal>
#include <exception>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* Usage =
    "usage: quillmarrow-cli list [-l|--long|--json] ARCHIVE\n"
    "       quillmarrow-cli extract [-k] [-v] [-i] [--exclude PATTERN]... ARCHIVE FOLDER "
    "[ENTRY...]\n"
    "       quillmarrow-cli extract-each [-k] [-v] [-i] [--exclude PATTERN]... FOLDER ARCHIVE...\n"
    "       quillmarrow-cli cat [-v] [-i] [--exclude PATTERN]... ARCHIVE ENTRY...\n"
    "       quillmarrow-cli check ARCHIVE...\n"
    "       quillmarrow-cli create [--force] ARCHIVE FILE...\n"
    "       quillmarrow-cli add [--compact] ARCHIVE FILE...\n"
    "       quillmarrow-cli replace [--compact] ARCHIVE FILE...\n"
    "       quillmarrow-cli remove [-i] [--exclude PATTERN]... [--compact] ARCHIVE ENTRY...\n"
    "       quillmarrow-cli rename [--compact] ARCHIVE OLD NEW\n"
    "       quillmarrow-cli update [-v] [--compact] ARCHIVE FILE...\n"
    "       quillmarrow-cli compact ARCHIVE\n"
    "       quillmarrow-cli sums [-a|--algorithm sha256|sha1|md5|crc32] [--json] [-i]\n"
    "                            [--exclude PATTERN]... ARCHIVE [ENTRY...]\n"
    "       quillmarrow-cli verify [-v] [--strict] ARCHIVE SUMS\n"
    "       quillmarrow-cli diff [--json] OLD NEW\n"
    "       quillmarrow-cli find [-i] [-v] [--json] PATTERN PATH...\n"
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
    "  rename               give the entry named OLD the name NEW, in its place\n"
    "  update               replace the entries the FILEs are named as, add the other FILEs;\n"
    "                       an entry that holds its FILE's bytes already is left alone\n"
    "  compact              rewrite ARCHIVE as create writes it: records, the end record,\n"
    "                       then the data back to back in directory order, without gaps\n"
    "  sums                 write a checksum line for each entry (or each ENTRY), in directory\n"
    "                       order, as sha256sum and its kin write them (default sha256)\n"
    "  verify               check the entries against the checksum list SUMS (- for standard\n"
    "                       input): NAME: FAILED, missing, not listed; then a summary line\n"
    "  diff                 write what was added, removed, changed or moved from OLD to NEW,\n"
    "                       entries matched by name and compared by their bytes\n"
    "  find                 write ARCHIVE<TAB>INDEX<TAB>SIZE<TAB>NAME for each entry that\n"
    "                       PATTERN matches in each PATH, an archive or a folder searched\n"
    "                       through (without following links; files check finds problems\n"
    "                       in are skipped)\n"
    "  -l, --long           (list) write INDEX<TAB>OFFSET<TAB>SIZE<TAB>NAME\n"
    "  --json               (list) write one JSON object a line: index, offset, size, name\n"
    "                       (null when not text), name_hex; (sums, diff, find) likewise\n"
    "  -a, --algorithm ALGORITHM\n"
    "                       (sums) sha256, sha1, md5 or crc32 (as zlib computes it)\n"
    "  --strict             (verify) entries not listed count as failures\n"
    "  -k, --keep-existing  keep a file that exists under an entry's name\n"
    "  -v, --verbose        write each entry's name on standard error as it is written;\n"
    "                       (verify) write NAME: OK too; (find) name the files skipped;\n"
    "                       (update) write NAME: unchanged for each entry left alone\n"
    "  -i, --ignore-case    fold case in names, patterns and --exclude patterns (ASCII\n"
    "                       letters; on Windows as the system folds names)\n"
    "  --exclude PATTERN    leave out the entries that PATTERN matches (repeatable)\n"
    "  --force              (create) replace an existing ARCHIVE\n"
    "  --compact            (add, replace, remove, rename, update) write the layout\n"
    "                       compact writes\n"
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
    "and replaces it only when done; when any input is refused nothing is written (status 1).\n"
    "An edit keeps every untouched entry's bytes where they are: replaced data goes into the\n"
    "entry's old place when it fits, other new data after the end, removed data stays as a gap\n"
    "(compact reclaims the gaps).\n"
    "sums: 1 when an entry cannot be read whole. verify: 0 when every listed entry is OK\n"
    "(and, with --strict, every entry listed), 1 otherwise. diff: 0 when OLD and NEW hold the\n"
    "same entries with the same data in the same order, 1 when they differ. find: 0 when an\n"
    "entry matched, 1 when none did. For these four, 2 means trouble: a usage error, or an\n"
    "archive, list or folder that cannot be read.\n";

struct Command {
    std::string_view Name;
    int (*Run)(const cli::Flags& flags, const cli::Operands& operands);
};

// The options each command takes are in the table of options (Options.cpp).
constexpr Command Commands[] = {
    {"list", cli::List},     {"extract", cli::Extract}, {"extract-each", cli::ExtractEach},
    {"cat", cli::Cat},       {"check", cli::Check},     {"create", cli::Create},
    {"add", cli::Add},       {"replace", cli::Replace}, {"remove", cli::Remove},
    {"rename", cli::Rename}, {"update", cli::Update},   {"compact", cli::Compact},
    {"sums", cli::Sums},     {"verify", cli::Verify},   {"diff", cli::Diff},
    {"find", cli::Find},
};

int Run(const std::vector<std::string>& args) {
    const cli::CommandLine line = cli::SplitArguments(args);
    using Request = cli::CommandLine::Request;
    if (line.What != Request::Run) {
        cli::Output output(cli::Encoding::Text);
        output.Write(line.What == Request::Help ? std::string(Usage) + Help
                                                : "quillmarrow-cli " QUILLMARROW_VERSION "\n");
        return output.Finish();
    }
    const auto found = std::find_if(std::begin(Commands), std::end(Commands),
                                    [&](const Command& c) { return c.Name == line.Command; });
    if (found == std::end(Commands))
        throw cli::UsageError{line.Command.empty() ? "no command given"
                                                   : "unknown command: " + line.Command};
    return found->Run(cli::ParseOptions(line.Command, line.Options), line.Operands);
}

} // namespace

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit then fails with an error we report, instead of
    // ending the program with the entry half done.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (!cli::KeepMemoryInReserve())
        return 1;
    try {
        return Run(cli::StartUp(argc, argv));
    } catch (const cli::UsageError& e) {
        cli::Complain({}, e.Message);
        cli::Print(stderr, Usage);
        return 2;
    } catch (const std::bad_alloc&) {
        cli::OutOfMemory();
        return 1;
    } catch (const std::exception& e) {
        cli::Complain({}, e.what());
        return 2;
    }
}
