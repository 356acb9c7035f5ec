#include "ui/main/ExtractSummary.h"

#include "archive/Escape.h"
#include "ui/PathText.h"
#include "winutil/modMsgBox.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace {

ClosingMessage Problems(const QStringList& lines) {
    return {QStringLiteral("Extraction finished with problems:\n\n") + lines.join('\n'),
            modMsgBox::vbExclamation, QStringLiteral("Extraction incomplete")};
}

QString EntriesWere(int n) {
    return n == 1 ? QStringLiteral("1 entry was") : QStringLiteral("%1 entries were").arg(n);
}

} // namespace

QString UnbrokenLine(const QString& line) {
    QString kept = line;
    return kept.replace(QChar(' '), QChar(0xA0));
}

QString EscapedName(std::string_view name) {
#ifdef _WIN32
    // Names are read in the ANSI code page here, as extraction names the files.
    const QByteArray utf8 = QString::fromLocal8Bit(name.data(), qsizetype(name.size())).toUtf8();
    name = std::string_view(utf8.constData(), std::size_t(utf8.size()));
#endif
    const std::string escaped = archive::Escaped(name);
    // Decoded keeping a byte order mark at the start, which QString::fromUtf8 would drop.
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decode(QByteArrayView(escaped));
}

ClosingMessage NothingExtracted(const QString& what, const QString& why) {
    return Problems(
        {what + QStringLiteral(": ") + why, QString(), QStringLiteral("No entry was extracted.")});
}

ClosingMessage ExtractSummary(const archive::ExtractReport& report,
                              const ExtractionRequest& request) {
    using Kind = archive::EntryResult::Kind;
    // The entry's record name, or the name it was listed under when the record was never read.
    const auto nameOf = [&](const archive::EntryResult& e) {
        if (!e.Name.empty())
            return std::string_view(e.Name);
        const auto at =
            std::lower_bound(request.Positions.begin(), request.Positions.end(), e.Position);
        const auto i = std::size_t(std::distance(request.Positions.begin(), at));
        return at != request.Positions.end() && *at == e.Position && i < request.ListedNames.size()
                   ? std::string_view(request.ListedNames[i])
                   : std::string_view();
    };
    // The files kept are named after the problems, never as problems.
    QStringList kept;
    int keptCount = 0;
    for (const archive::EntryResult& e : report.Entries)
        if (e.Result == Kind::KeptExisting && ++keptCount <= ProblemsShown)
            kept << EscapedName(nameOf(e)) + QStringLiteral(": kept the existing file");
    if (keptCount > ProblemsShown)
        kept << QStringLiteral("... and %1 more kept.").arg(keptCount - ProblemsShown);
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

    QStringList lines;
    int problems = 0, cancelled = 0, written = 0;
    for (const archive::EntryResult& e : report.Entries) {
        cancelled += e.Result == Kind::Cancelled;
        written += e.Result == Kind::Written;
        if (e.Result == Kind::Written || e.Result == Kind::Cancelled ||
            e.Result == Kind::KeptExisting || ++problems > ProblemsShown)
            continue;
        lines << UnbrokenLine(EscapedName(nameOf(e)) + QStringLiteral(": ") +
                          QString::fromStdString(archive::Describe(e)));
    }
    if (problems > ProblemsShown)
        lines << QStringLiteral("... and %1 more.").arg(problems - ProblemsShown);
    if (cancelled == 0)
        return Problems(lines << kept);
    // A cancel is the user's choice, not a failure: what was written, what the cancel left out,
    // and the problems and the files kept apart.
    QString prompt = QStringLiteral("%1 extracted.\nCancelled: %2 not extracted.")
                         .arg(EntriesWere(written), EntriesWere(cancelled));
    if (problems > 0)
        prompt += QStringLiteral("\n\nProblems:\n") + lines.join('\n');
    if (!kept.isEmpty())
        prompt += QStringLiteral("\n\n") + kept.join('\n');
    return {prompt, problems > 0 ? modMsgBox::vbExclamation : modMsgBox::vbInformation,
            QStringLiteral("Extraction cancelled")};
}
