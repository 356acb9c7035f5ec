#include "ui/main/ExistingFiles.h"

#include "archive/Names.h"
#include "ui/PathText.h"
#include "winutil/modMsgBox.h"

#include <filesystem>
#include <set>
#include <string_view>

QStringList ExistingFiles(const ExtractionRequest& request) {
    QStringList names;
    std::set<std::string_view> seen; // an entry whose name comes again replaces the same file
    for (const std::string& name : request.ListedNames) {
        if (name.empty() || !archive::UnsafeNameReason(name).empty() || !seen.insert(name).second)
            continue;
        std::error_code ec;
        if (std::filesystem::symlink_status(request.OutputFolder / name, ec).type() !=
            std::filesystem::file_type::not_found)
            names << QString::fromLocal8Bit(name);
    }
    return names;
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
    prompt += QStringLiteral("\n\nReplace them with the entries, or keep the existing files?");
    const int chosen = modMsgBox::Ask(
        prompt,
        {QStringLiteral("Replace"), QStringLiteral("Keep Existing"), QStringLiteral("Cancel")},
        QStringLiteral("Replace files?"), owner);
    return chosen == 0   ? ReplaceAnswer::Replace
           : chosen == 1 ? ReplaceAnswer::KeepExisting
                         : ReplaceAnswer::Cancel;
}
