// verify [-v] [--strict] ARCHIVE SUMS: the entries checked against a checksum list.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Checksums.h"
#include "archive/Escape.h"

#include <cstdio>

namespace cli {

namespace {

// Hands each line of the list (standard input for "-") to `line`; false after saying why the
// list cannot be read.
bool ReadList(const std::string& path, const std::function<void(std::string_view)>& line) {
    archive::Archive file;
    if (path != "-") {
        file = archive::Archive(PathArgument(path));
        if (!file.IsOpen()) {
            archive::OpenError error = file.Error();
            error.Of = archive::OpenError::Subject::List;
            Complain(path, archive::Describe(error));
            return false;
        }
    }
    std::string pending;
    std::vector<char> buffer(1u << 16);
    std::error_code ec;
    for (std::uint64_t at = 0;;) {
        const std::size_t got = path == "-"
                                    ? std::fread(buffer.data(), 1, buffer.size(), stdin)
                                    : file.ReadAt(buffer.data(), buffer.size(), at, ec);
        if (path == "-" && std::ferror(stdin))
            ec = std::error_code(errno, std::generic_category());
        if (ec) {
            Complain(path, archive::Describe(archive::OpenError{
                               archive::OpenError::Kind::Unreadable,
                               archive::OpenError::Subject::List, ec}));
            return false;
        }
        at += got;
        pending.append(buffer.data(), got);
        std::size_t start = 0;
        for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos;
             start = end + 1)
            line(std::string_view(pending).substr(start, end - start));
        pending.erase(0, start);
        if (got == 0)
            break;
    }
    if (!pending.empty())
        line(pending);
    return true;
}

} // namespace

int Verify(const Flags& flags, const Operands& operands) {
    if (operands.size() != 2)
        throw UsageError{"verify takes ARCHIVE and SUMS"};
    const std::string &path = operands[0], &sums = operands[1];
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    Output output;
    archive::ChecksumList list;
    bool malformed = false;
    if (!ReadList(sums, [&](std::string_view line) {
            if (list.Add(line) != archive::ListLine::Malformed)
                return;
            malformed = true;
            output.Write(archive::Escaped(sums + ':' + std::to_string(list.Lines()) +
                                          ": not a checksum line") +
                         '\n');
        }))
        return 2;

    using Kind = archive::VerifyFinding::Kind;
    const archive::VerifyReport report =
        archive::VerifyArchive(archive, list, [&](const archive::VerifyFinding& f) {
            if (f.Unreadable)
                Complain(f.Name, archive::Describe(*f.Unreadable));
            const char* what = f.What == Kind::Ok       ? ": OK"
                               : f.What == Kind::Failed ? ": FAILED"
                               : f.What == Kind::Missing ? ": missing"
                                                         : ": not listed";
            if (f.What != Kind::Ok || flags.Verbose)
                output.Write(archive::Escaped(f.Name + what) + '\n');
        });
    if (report.ReadError) {
        ReadFailed(path, report.ReadError);
        output.Finish();
        return 2;
    }
    output.Write(archive::Escaped(path + ": " + std::to_string(report.Ok) + " OK, " +
                                  std::to_string(report.Failed) + " failed, " +
                                  std::to_string(report.Missing) + " missing, " +
                                  std::to_string(report.NotListed) + " not listed") +
                 '\n');
    // A line that cannot be read may have stood for an entry: the check is not complete.
    const bool ok = report.Failed == 0 && report.Missing == 0 && !malformed &&
                    (!flags.Strict || report.NotListed == 0);
    return std::max(ok ? 0 : 1, output.Finish());
}

} // namespace cli
