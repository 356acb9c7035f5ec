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

constexpr std::string_view Selecting = "extract extract-each cat remove";

// clang-format off
constexpr Option Options[] = {
    {"long", 'l', false, {}, "list", [](Flags& f, const std::string&) { f.Long = true; }},
    {"json", 0, false, {}, "list", [](Flags& f, const std::string&) { f.Json = true; }},
    {"keep-existing", 'k', false, {}, "extract extract-each",
     [](Flags& f, const std::string&) { f.KeepExisting = true; }},
    {"verbose", 'v', false, {}, "extract extract-each cat",
     [](Flags& f, const std::string&) { f.Verbose = true; }},
    {"ignore-case", 'i', false, {}, Selecting,
     [](Flags& f, const std::string&) { f.Rules.IgnoreCase = true; }},
    {"exclude", 0, true, "PATTERN", Selecting,
     [](Flags& f, const std::string& pattern) {
         f.Rules.Excludes.push_back(EntryNameArgument(pattern));
     }},
    {"force", 0, false, {}, "create", [](Flags& f, const std::string&) { f.Force = true; }},
};
// clang-format on

const Option* Find(std::string_view longName) {
    const auto found = std::find_if(std::begin(Options), std::end(Options),
                                    [&](const Option& o) { return o.Long == longName; });
    return found == std::end(Options) ? nullptr : found;
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
                for (std::size_t c = 1; c < arg.size(); ++c) // -kv is -k -v
                    line.Options.push_back({'-', arg[c]});
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
            const auto found = std::find_if(std::begin(Options), std::end(Options),
                                            [&](const Option& x) { return x.Short == o[1]; });
            option = found == std::end(Options) || found->Short == 0 ? nullptr : found;
        }
        if (!option || !Takes(*option, command))
            throw UsageError{"unknown option for " + command + ": " + o};
        option->Set(flags, value);
    }
    return flags;
}

} // namespace cli
