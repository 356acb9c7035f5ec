#include "ui/main/ExtractSummary.h"

#include "ui/PathText.h"
#include "winutil/modMsgBox.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

ClosingMessage Problems(const QStringList& lines) {
    return {QStringLiteral("Extraction finished with problems:\n\n") + lines.join('\n'),
            modMsgBox::vbExclamation, QStringLiteral("Extraction incomplete")};
}

} // namespace

ClosingMessage NothingExtracted(const QString& what, const QString& why) {
    return Problems(
        {what + QStringLiteral(": ") + why, QString(), QStringLiteral("No entry was extracted.")});
}

ClosingMessage ExtractSummary(const archive::ExtractReport& report,
                              const ExtractionRequest& request) {
    // The files kept are named after the problems, never as problems.
    QStringList kept;
    for (std::size_t i = 0; i < request.Kept.size() && i < std::size_t(ProblemsShown); ++i)
        kept << QString::fromLocal8Bit(request.Kept[i]) +
                    QStringLiteral(": kept the existing file");
    if (request.Kept.size() > std::size_t(ProblemsShown))
        kept << QStringLiteral("... and %1 more kept.").arg(request.Kept.size() - ProblemsShown);
    if (report.AllWritten())
        return {QStringLiteral("Extraction complete.") +
                    (kept.isEmpty() ? QString() : QStringLiteral("\n\n") + kept.join('\n')),
                modMsgBox::vbInformation, QStringLiteral("Complete")};
    if (report.ArchiveError)
        return NothingExtracted(pathtext::ShownPath(request.Archive),
                                QString::fromStdString(archive::Describe(report.ArchiveError)));
    if (report.FolderError)
        return NothingExtracted(pathtext::ShownPath(request.OutputFolder),
                                QString::fromStdString(archive::Describe(report.FolderError)));

    using Kind = archive::EntryResult::Kind;
    QStringList lines;
    int problems = 0, cancelled = 0;
    for (const archive::EntryResult& e : report.Entries) {
        cancelled += e.Result == Kind::Cancelled;
        if (e.Result == Kind::Written || e.Result == Kind::Cancelled || ++problems > ProblemsShown)
            continue;
        std::string_view name = e.Name;
        if (name.empty()) { // the record was never read: the name it was listed under
            const auto at =
                std::lower_bound(request.Positions.begin(), request.Positions.end(), e.Position);
            const auto i = std::size_t(std::distance(request.Positions.begin(), at));
            if (at != request.Positions.end() && *at == e.Position &&
                i < request.ListedNames.size())
                name = request.ListedNames[i];
        }
        lines << QString::fromLocal8Bit(name) + QStringLiteral(": ") +
                     QString::fromStdString(archive::Describe(e));
    }
    if (problems > ProblemsShown)
        lines << QStringLiteral("... and %1 more.").arg(problems - ProblemsShown);
    lines << kept;
    if (cancelled == 1)
        lines << QStringLiteral("Cancelled: 1 entry was not extracted.");
    else if (cancelled > 1)
        lines << QStringLiteral("Cancelled: %1 entries were not extracted.").arg(cancelled);
    return Problems(lines);
}
