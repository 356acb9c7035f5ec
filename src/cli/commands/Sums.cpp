// sums [-a|--algorithm ALGORITHM] [--json] [-i] [--exclude PATTERN]... ARCHIVE [ENTRY...]: a
// checksum line for each entry, as the common checksum tools write them.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Output.h"

#include "archive/Escape.h"
#include "archive/Checksums.h"

namespace cli {

int Sums(const Flags& flags, const Operands& operands) {
    if (operands.empty())
        throw UsageError{"sums takes ARCHIVE"};
    const std::optional<archive::Algorithm> algorithm =
        flags.Algorithm.empty() ? archive::Algorithm::Sha256
                                : archive::AlgorithmNamed(flags.Algorithm);
    if (!algorithm)
        throw UsageError{"unknown algorithm: " + flags.Algorithm + " (sha256, sha1, md5 or crc32)"};
    const std::string& path = operands[0];
    EntrySelection selection = Selection({operands.begin() + 1, operands.end()}, flags);
    archive::Archive archive;
    if (!Open(path, archive))
        return 2;
    std::error_code ec;
    int status = Resolve(archive, selection, ec);
    if (ec)
        return ReadFailed(path, ec);

    // The lines are written as the entries are read, so memory stays the same however many
    // there are.
    Output output(flags.Json ? Encoding::Json : Encoding::Names);
    std::string out, digest;
    archive::Digest digester(*algorithm);
    archive::EntryDigester entries(archive);
    archive.WalkDirectory(
        [&](int k, const archive::ArchiveEntry& e) {
            if (!selection.Selects(k, e.Name))
                return true;
            const archive::EntryResult read = entries.Read(k, e, digester, digest);
            if (read.Result != archive::EntryResult::Kind::Written) {
                Complain(archive::NameText(e.Name), archive::Describe(read));
                status = 1;
                return true;
            }
            if (flags.Json) {
                out.append("{\"index\":").append(std::to_string(k)).append(1, ',');
                AppendJsonName(out, "name", e.Name);
                out.append(",\"size\":")
                    .append(std::to_string(e.Size))
                    .append(",\"")
                    .append(archive::AlgorithmName(*algorithm))
                    .append("\":\"")
                    .append(archive::Hex(digest))
                    .append("\"}\n");
            } else {
                out.append(archive::SumLine(archive::Hex(digest), e.Name));
            }
            output.WriteInBlocks(out);
            return output.Ok();
        },
        ec);
    output.Write(out);
    status = std::max(status, output.Finish());
    return ec ? ReadFailed(path, ec) : status;
}

} // namespace cli
