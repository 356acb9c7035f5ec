// verify [-v] [--strict] ARCHIVE SUMS: the entries checked against a checksum list.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Checksums.h"
#include "archive/Escape.h"

#include <cerrno>
#include <cstdio>

namespace cli {

namespace {

// Reads the list (standard input for "-"); false after saying why it cannot be read.
bool ReadList(const std::string& path, archive::ChecksumList& list,
              const std::function<void(std::uint64_t)>& malformed) {
    archive::OpenError error{archive::OpenError::Kind::None, archive::OpenError::Subject::List, {}};
    if (path != "-") {
        error = archive::ReadChecksumList(PathArgument(path), list, malformed);
    } else {
        std::vector<char> buffer(1u << 16);
        while (const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), stdin))
            list.AddText({buffer.data(), got}, malformed);
        if (std::ferror(stdin))
            error = {archive::OpenError::Kind::Unreadable, archive::OpenError::Subject::List,
                     std::error_code(errno, std::generic_category())};
        list.End(malformed);
    }
    if (error)
        Complain(path, archive::Describe(error));
    return !error;
}

} // namespace

int Verify(const Flags& flags, const Operands& operands) {
    if (operands.size() != 2)
        throw UsageError{"verify takes ARCHIVE and SUMS"};
    const std::string &path = operands[0], &sums = operands[1];
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    Output output(Encoding::Text);
    archive::ChecksumList list;
    bool malformed = false;
    if (!ReadList(sums, list, [&](std::uint64_t line) {
            malformed = true;
            output.Write(archive::Escaped(archive::NotAChecksumLine(sums, line)) + '\n');
        }))
        return 2;

    using Kind = archive::VerifyFinding::Kind;
    const archive::VerifyReport report =
        archive::VerifyArchive(archive, list, [&](const archive::VerifyFinding& f) {
            if (f.Unreadable)
                Complain(archive::NameText(f.Name), archive::Describe(*f.Unreadable));
            if (f.What != Kind::Ok || flags.Verbose)
                output.Write(archive::Escaped(archive::NameText(archive::Describe(f))) + '\n');
        });
    if (report.ReadError) {
        ReadFailed(path, report.ReadError);
        output.Finish();
        return 2;
    }
    output.Write(archive::Escaped(path + ": " + archive::Describe(report)) + '\n');
    // A line that cannot be read may have stood for an entry: the check is not complete.
    const bool ok = report.Failed == 0 && report.Missing == 0 && !malformed &&
                    (!flags.Strict || report.NotListed == 0);
    return std::max(ok ? 0 : 1, output.Finish());
}

} // namespace cli
