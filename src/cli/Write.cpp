// What the write commands share: the archive opened for editing, files as entries, and the
// write with its refusals.

#include "cli/Commands.h"
#include "cli/Output.h"
#include "cli/Platform.h"

#include "archive/Escape.h"
#include "archive/Signals.h"

namespace cli {

namespace {

// The problem with the entry names in it read as text (archive::NameText).
archive::WriteProblem Readable(archive::WriteProblem p) {
    using Kind = archive::WriteProblem::Kind;
    if (p.OtherIsEntry || p.What == Kind::NoEntryNamed || p.What == Kind::CannotBeEdited)
        p.Text = archive::NameText(p.Text);
    return p;
}

} // namespace

int EditArchive(const std::string& command, const Flags& flags, const Operands& operands,
                const std::function<bool(archive::EditPlan& plan)>& edit) {
    if (command == "compact" ? operands.size() != 1 : operands.size() < 2)
        throw UsageError{command + " takes ARCHIVE" +
                         (command == "compact"  ? ""
                          : command == "remove" ? " and ENTRY..."
                                                : " and FILE...")};
    archive::EditPlan plan = archive::EditPlan::Edit(PathArgument(operands[0]));
    for (const archive::WriteProblem& problem : plan.NotEditable())
        Complain(operands[0], archive::Describe(Readable(problem)));
    if (!plan.NotEditable().empty())
        return plan.Old() ? 1 : 2; // 2: it could not even be opened
    archive::WriteOptions options;
    options.Compact = flags.Compact;
    return edit(plan) ? WritePlan(operands[0], plan, options) : 1;
}

void AddFile(archive::EditPlan& plan, const std::string& file) {
    std::string name = FileNameArgument(file);
    const bool unwritable =
        name.empty() && !file.empty() && file.find_last_of("/\\") != file.size() - 1;
    // Refused for that alone, not once more for the empty name it would have.
    if (unwritable)
        plan.Refuse(file, {.What = archive::WriteProblem::Kind::NameNotInCodePage});
    else
        plan.Add(std::move(name), PathArgument(file), file);
}

int WritePlan(const std::string& path, archive::EditPlan& plan, archive::WriteOptions options) {
    for (const auto& [subject, problem] : plan.Refused())
        Complain(subject, archive::Describe(Readable(problem)));
    archive::RemovePartialFileOnSignals();
    const archive::WriteReport report = plan.Write(std::move(options));
    // An entry is named by its file, or a kept one by its name.
    const auto subject = [&](std::size_t k) {
        return plan.Entries()[k].File.empty() ? archive::NameText(plan.Subject(k))
                                              : plan.Subject(k);
    };
    const auto complain = [&](const archive::WriteProblem& p) {
        Complain(p.Entry < 0 ? path : subject(static_cast<std::size_t>(p.Entry)),
                 archive::Describe(Readable(p)));
    };
    for (const auto& problem : report.Refused)
        complain(problem);
    if (report.Failed)
        complain(report.Failed);
    return report.Written() && plan.Refused().empty() ? 0 : 1;
}

} // namespace cli
