#include "ui/main/ExistingFiles.h"

#include "archive/Extract.h"
#include "archive/Names.h"
#include "ui/PathText.h"
#include "winutil/modMsgBox.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

QStringList ExistingFiles(const ExtractionRequest& request) {
    // An entry whose name comes again replaces the same file: each name is asked about once,
    // and on Windows, whose folders fold case, each spelling of it once.
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const std::string& name : request.ListedNames)
        if (seen.insert(archive::WindowsNameRules ? archive::FoldCase(name) : name).second)
            names.push_back(name);
    QStringList existing;
    for (const std::string& name : archive::ExistingNames(request.OutputFolder, names))
        existing << QString::fromLocal8Bit(name);
    return existing;
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
    // Enter, like Esc, cancels: the default is the one choice that writes nothing, since even
    // Keep Existing writes the entries whose files do not exist yet.
    const int chosen = modMsgBox::Ask(
        prompt,
        {QStringLiteral("&Replace"), QStringLiteral("&Keep Existing"), QStringLiteral("&Cancel")},
        QStringLiteral("Replace files?"), owner, 2);
    return chosen == 0   ? ReplaceAnswer::Replace
           : chosen == 1 ? ReplaceAnswer::KeepExisting
                         : ReplaceAnswer::Cancel;
}
