#include "ui/main/ExistingFiles.h"

#include "archive/Names.h"
#include "ui/PathText.h"
#include "winutil/modMsgBox.h"

#include <filesystem>
#include <set>
#include <string_view>

namespace {

// Whether the file of the listed name exists in the folder; a name that cannot be a file name
// is never one.
bool Exists(const std::filesystem::path& folder, const std::string& name) {
    if (name.empty() || !archive::UnsafeNameReason(name).empty())
        return false;
    std::error_code ec;
    return std::filesystem::symlink_status(folder / name, ec).type() !=
           std::filesystem::file_type::not_found;
}

} // namespace

QStringList ExistingFiles(const ExtractionRequest& request) {
    QStringList names;
    std::set<std::string_view> seen; // an entry whose name comes again replaces the same file
    for (const std::string& name : request.ListedNames)
        if (seen.insert(name).second && Exists(request.OutputFolder, name))
            names << QString::fromLocal8Bit(name);
    return names;
}

void LeaveOutExisting(ExtractionRequest& request) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < request.Positions.size(); ++i) {
        std::string& name = request.ListedNames[i];
        if (Exists(request.OutputFolder, name)) {
            request.Kept.push_back(std::move(name));
            continue;
        }
        if (kept != i) {
            request.Positions[kept] = request.Positions[i];
            request.ListedNames[kept] = std::move(name);
        }
        ++kept;
    }
    request.Positions.resize(kept);
    request.ListedNames.resize(kept);
}

ReplaceAnswer AskBeforeReplacing(const ExtractionRequest& request, QWidget* owner) {
    const QStringList names = ExistingFiles(request);
    if (names.isEmpty())
        return ReplaceAnswer::Replace;
    const QString folder = pathtext::ShownPath(request.OutputFolder);
    QString prompt =
        names.size() == 1
            ? QStringLiteral("1 file in %1 would be replaced:\n\n").arg(folder)
            : QStringLiteral("%1 files in %2 would be replaced:\n\n").arg(names.size()).arg(folder);
    prompt += names.mid(0, ExistingShown).join(QLatin1Char('\n'));
    if (names.size() > ExistingShown)
        prompt += QStringLiteral("\n... and %1 more.").arg(names.size() - ExistingShown);
    prompt +=
        names.size() == 1
            ? QStringLiteral("\n\nReplace it with the entry, or keep the existing file?")
            : QStringLiteral("\n\nReplace them with the entries, or keep the existing files?");
    const int chosen = modMsgBox::Ask(
        prompt,
        {QStringLiteral("Replace"), QStringLiteral("Keep Existing"), QStringLiteral("Cancel")},
        QStringLiteral("Replace files?"), owner);
    return chosen == 0   ? ReplaceAnswer::Replace
           : chosen == 1 ? ReplaceAnswer::KeepExisting
                         : ReplaceAnswer::Cancel;
}
