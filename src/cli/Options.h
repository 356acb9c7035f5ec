#pragma once

// The command line taken apart: the command, its options (one table of them, in Options.cpp)
// and its operands. Options come before the operands, before or after the command; "--" ends
// them.

#include "cli/EntrySelection.h"

#include <string>
#include <vector>

namespace cli {

// The options of a command.
struct Flags {
    bool Long = false, Json = false, KeepExisting = false, Verbose = false, Force = false;
    bool Strict = false;
    std::string Algorithm; // as given to -a; empty: the default
    SelectionRules Rules;
};

// The arguments split, options not yet checked against the command.
struct CommandLine {
    enum class Request { Run, Help, Version };
    Request What = Request::Run; // --help or --version came before any operand
    std::string Command;
    // As given, but a cluster of short options (-kv) split into one each and an option that
    // takes a value joined to it under its long name (--exclude=PATTERN, -a md5 as
    // --algorithm=md5).
    std::vector<std::string> Options;
    std::vector<std::string> Operands;
};

// Throws UsageError for an option whose value is missing.
CommandLine SplitArguments(const std::vector<std::string>& args);

// The options for `command`; throws UsageError for one it does not take.
Flags ParseOptions(const std::string& command, const std::vector<std::string>& options);

} // namespace cli
