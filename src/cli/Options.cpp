#include "cli/Options.h"

#include "cli/Platform.h"

#include <algorithm>
#include <string_view>

namespace cli {

namespace {

struct Option {
    std::string_view Long;     // without its "--"
    char Short;                // 0: none
    bool TakesValue;           // --NAME VALUE or --NAME=VALUE (never in a cluster of short options)
    std::string_view Value;    // what a missing value is called in the message
    std::string_view Commands; // the commands that take it, separated by spaces
    void (*Set)(Flags& flags, const std::string& value);
};

// "/?" asks for the help as Windows' own programs take it; elsewhere it is a path.
#ifdef _WIN32
constexpr bool HelpAsOnWindows = true;
#else
constexpr bool HelpAsOnWindows = false;
#endif

constexpr std::string_view Selecting = "extract extract-each cat remove sums";

// clang-format off
constexpr Option Options[] = {
    {"long", 'l', false, {}, "list", [](Flags& f, const std::string&) { f.Long = true; }},
    {"json", 0, false, {}, "list sums diff find",
     [](Flags& f, const std::string&) { f.Json = true; }},
    {"keep-existing", 'k', false, {}, "extract extract-each",
     [](Flags& f, const std::string&) { f.KeepExisting = true; }},
    {"verbose", 'v', false, {}, "extract extract-each cat verify find update",
     [](Flags& f, const std::string&) { f.Verbose = true; }},
    {"ignore-case", 'i', false, {}, "extract extract-each cat remove sums find",
     [](Flags& f, const std::string&) { f.Rules.IgnoreCase = true; }},
    {"exclude", 0, true, "PATTERN", Selecting,
     [](Flags& f, const std::string& pattern) {
         f.Rules.Excludes.push_back(EntryNameArgument(pattern));
     }},
    {"force", 0, false, {}, "create", [](Flags& f, const std::string&) { f.Force = true; }},
    {"algorithm", 'a', true, "ALGORITHM", "sums",
     [](Flags& f, const std::string& name) { f.Algorithm = name; }},
    {"strict", 0, false, {}, "verify", [](Flags& f, const std::string&) { f.Strict = true; }},
    {"compact", 0, false, {}, "add replace remove rename update",
     [](Flags& f, const std::string&) { f.Compact = true; }},
};
// clang-format on

const Option* Find(std::string_view longName) {
    const auto found = std::find_if(std::begin(Options), std::end(Options),
                                    [&](const Option& o) { return o.Long == longName; });
    return found == std::end(Options) ? nullptr : found;
}

const Option* FindShort(char shortName) {
    const auto found = std::find_if(std::begin(Options), std::end(Options),
                                    [&](const Option& o) { return o.Short == shortName; });
    return found == std::end(Options) || shortName == 0 ? nullptr : found;
}

bool Takes(const Option& option, std::string_view command) {
    for (std::string_view rest = option.Commands; !rest.empty();) {
        const std::size_t space = std::min(rest.find(' '), rest.size());
        if (rest.substr(0, space) == command)
            return true;
        rest.remove_prefix(std::min(space + 1, rest.size()));
    }
    return false;
}

} // namespace

CommandLine SplitArguments(const std::vector<std::string>& args) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && HelpAsOnWindows && arg == "/?") {
            line.What = CommandLine::Request::Help;
            return line;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "--version") {
                line.What =
                    arg == "--help" ? CommandLine::Request::Help : CommandLine::Request::Version;
                return line;
            }
            const Option* valued = arg[1] == '-' ? Find(std::string_view(arg).substr(2)) : nullptr;
            if (valued && valued->TakesValue) {
                if (i + 1 == args.size())
                    throw UsageError{arg + " takes a " + std::string(valued->Value)};
                line.Options.push_back(arg + "=" + args[++i]);
            } else if (arg[1] != '-') {
                for (std::size_t c = 1; c < arg.size(); ++c) { // -kv is -k -v
                    const Option* shortValued = FindShort(arg[c]);
                    if (!shortValued || !shortValued->TakesValue) {
                        line.Options.push_back({'-', arg[c]});
                        continue;
                    }
                    // Its value is the rest of the cluster (-amd5) or the next argument.
                    if (c + 1 == arg.size() && i + 1 == args.size())
                        throw UsageError{"-" + std::string(1, arg[c]) + " takes a " +
                                         std::string(shortValued->Value)};
                    line.Options.push_back("--" + std::string(shortValued->Long) + "=" +
                                           (c + 1 < arg.size() ? arg.substr(c + 1) : args[++i]));
                    break;
                }
            } else {
                line.Options.push_back(arg);
            }
        } else if (line.Command.empty()) {
            line.Command = arg;
        } else {
            line.Operands.push_back(arg);
            optionsEnded = true;
        }
    }
    return line;
}

Flags ParseOptions(const std::string& command, const std::vector<std::string>& options) {
    Flags flags;
    for (const std::string& o : options) {
        const Option* option = nullptr;
        std::string value;
        if (o.starts_with("--")) {
            const std::size_t equals = o.find('=');
            option = Find(std::string_view(o).substr(
                2, equals == std::string::npos ? std::string::npos : equals - 2));
            if (option && option->TakesValue != (equals != std::string::npos))
                option = nullptr;
            if (option && option->TakesValue)
                value = o.substr(equals + 1);
        } else {
            option = FindShort(o[1]);
        }
        if (!option || !Takes(*option, command))
            throw UsageError{"unknown option for " + command + ": " + o};
        option->Set(flags, value);
    }
    return flags;
}

} // namespace cli
