#pragma once

// The commands of quillmarrow-cli, one file each in commands/, and what they share. Each takes
// its options and its operands and returns the exit status; a mistake in the command line is a
// UsageError.

#include "archive/Archive.h"
#include "archive/EditPlan.h"
#include "archive/Extract.h"
#include "cli/EntrySelection.h"
#include "cli/Options.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace cli {

using Operands = std::vector<std::string>;

// The read commands.
int List(const Flags& flags, const Operands& operands);
int Extract(const Flags& flags, const Operands& operands);
int ExtractEach(const Flags& flags, const Operands& operands);
int Cat(const Flags& flags, const Operands& operands);
int Check(const Flags& flags, const Operands& operands);
// The commands that look inside entries: checksums, a check against a list, two versions
// compared, entries found across archives.
int Sums(const Flags& flags, const Operands& operands);
int Verify(const Flags& flags, const Operands& operands);
int Diff(const Flags& flags, const Operands& operands);
int Find(const Flags& flags, const Operands& operands);
// The write commands.
int Create(const Flags& flags, const Operands& operands);
int Add(const Flags& flags, const Operands& operands);
int Replace(const Flags& flags, const Operands& operands);
int Remove(const Flags& flags, const Operands& operands);
int Update(const Flags& flags, const Operands& operands);
int Compact(const Flags& flags, const Operands& operands);
int Rename(const Flags& flags, const Operands& operands);

// Reading (Read.cpp).

// Opens the archive or reports why it cannot; the caller exits with 2 then.
bool Open(const std::string& path, archive::Archive& archive);
// Reports a read error in the middle of the directory; returns 1, the exit status then.
int ReadFailed(const std::string& path, std::error_code ec);
// The selection for ENTRY operands: positions stay as given, names and patterns become
// entry-name bytes by the platform's rule.
EntrySelection Selection(const Operands& entries, const Flags& flags);
// Resolves the ENTRY operands against the archive; each that matches nothing is one message.
// 1 when there was one, 0 otherwise.
int Resolve(const archive::Archive& archive, EntrySelection& selection, std::error_code& ec);
// An ENTRY given by name that matched when resolved and matches nothing now: one message.
void ChangedSinceListed(const std::string& entry);
// A name as it is written, for --verbose.
void Verbose(const Flags& flags, std::string_view name);
// Extracts the selected entries into folder, printing each problem as it is found: nothing is
// kept for each entry. An output folder that cannot be opened is left to the caller.
archive::ExtractReport ExtractSelected(const archive::Archive& archive,
                                       const std::filesystem::path& folder,
                                       const EntrySelection& selection, const Flags& flags);

// Writing (Write.cpp).

// add, replace, remove, rename, update and compact: checks the operands, opens the archive for editing
// (saying each reason when it cannot be), lets `edit` change the plan, and writes it
// (WritePlan), in the canonical layout with --compact. `edit` returns false to stop with exit
// status 1, having said why.
int EditArchive(const std::string& command, const Flags& flags, const Operands& operands,
                const std::function<bool(archive::EditPlan& plan)>& edit);
// Appends FILE as an entry of its file name's bytes.
void AddFile(archive::EditPlan& plan, const std::string& file);
// Writes the plan, or reports each refusal (or the failure) on a line of its own, subjects as
// the plan has them and the archive as `path`: 0 when it was written, 1 otherwise.
int WritePlan(const std::string& path, archive::EditPlan& plan, archive::WriteOptions options = {});

} // namespace cli
