#include "ui/main/ChecksumRun.h"

#include "archive/Checksums.h"
#include "archive/Compare.h"
#include "archive/EntryData.h"
#include "ui/PathText.h"
#include "ui/main/ExtractSummary.h"

#include <QPromise>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

QString Text(const std::string& english) {
    return QString::fromStdString(english);
}

// "PATH: why", for an archive or list that could not be read.
QString CannotRead(const std::filesystem::path& path, const archive::OpenError& error) {
    return pathtext::ShownPath(path) + QStringLiteral(": ") + Text(archive::Describe(error));
}

} // namespace

ChecksumRun::ChecksumRun(QWidget* owner) : BackgroundRun(owner) {}

ChecksumRun::~ChecksumRun() {
    StopAndWait();
}

bool ChecksumRun::Start(ChecksumRequest request) {
    if (IsRunning())
        return false;
    request_ = std::move(request);
    outcome_ = {};
    moreLines_ = 0;
    progressName_.clear();
    progressDone_ = progressCount_ = 0;
    // The counts come with the progress: the run is one unit, its bar by bytes.
    return Begin(1, [this](QPromise<void>& promise, std::stop_token stop) {
        const auto progress = [&](const archive::ExtractProgress& p) {
            {
                const std::lock_guard lock(progressMutex_);
                progressName_ = EscapedName(p.Name);
                progressDone_ = p.EntriesDone;
                progressCount_ = p.EntryCount;
            }
            Progress(promise, 0, p.BytesDone, p.TotalBytes);
        };
        using Kind = ChecksumRequest::Kind;
        if (request_.What == Kind::Verify)
            Verify(progress, stop);
        else if (request_.What == Kind::Compare)
            Compare(progress, stop);
        else
            EntryChecksum(progress, stop);
        if (moreLines_ > 0)
            outcome_.Lines << QStringLiteral("... and %1 more.").arg(moreLines_);
    });
}

void ChecksumRun::AddLine(const QString& line) {
    if (outcome_.Lines.size() < MaxLines)
        outcome_.Lines << line;
    else
        ++moreLines_;
}

void ChecksumRun::Verify(const std::function<void(const archive::ExtractProgress&)>& progress,
                         std::stop_token stop) {
    const archive::Archive archive(request_.Archive);
    if (!archive.IsOpen()) {
        outcome_.Problem = CannotRead(request_.Archive, archive.Error());
        return;
    }
    archive::ChecksumList list;
    const QString listShown = pathtext::ShownPath(request_.Other);
    const archive::OpenError listError =
        archive::ReadChecksumList(request_.Other, list, [&](std::uint64_t line) {
            AddLine(listShown + Text(archive::NotAChecksumLine({}, line)));
        });
    if (listError) {
        outcome_.Problem = CannotRead(request_.Other, listError);
        return;
    }
    const archive::VerifyReport report =
        archive::VerifyArchive(archive, list,
                               [&](const archive::VerifyFinding& f) {
                                   if (f.Unreadable)
                                       AddLine(EscapedName(f.Name) + QStringLiteral(": ") +
                                               Text(archive::Describe(*f.Unreadable)));
                                   if (f.What != archive::VerifyFinding::Kind::Ok)
                                       AddLine(EscapedName(archive::Describe(f)));
                               },
                               {stop, progress});
    if (report.ReadError) {
        outcome_.Problem =
            CannotRead(request_.Archive, {archive::OpenError::Kind::Unreadable,
                                          archive::OpenError::Subject::Archive, report.ReadError});
        return;
    }
    outcome_.Cancelled = report.Cancelled;
    outcome_.Summary = pathtext::ShownPath(request_.Archive) + QStringLiteral(": ") +
                       Text(archive::Describe(report));
}

void ChecksumRun::Compare(const std::function<void(const archive::ExtractProgress&)>& progress,
                          std::stop_token stop) {
    const archive::Archive older(request_.Archive), newer(request_.Other);
    const archive::CompareReport report = archive::CompareArchives(
        older, newer,
        [&](const archive::Difference& d) { AddLine(EscapedName(archive::Describe(d))); },
        [&](const archive::EntryResult& e, bool inNewer) {
            AddLine(pathtext::ShownPath(inNewer ? request_.Other : request_.Archive) +
                    QStringLiteral(": ") + EscapedName(e.Name) + QStringLiteral(": ") +
                    Text(archive::Describe(e)));
        },
        {stop, progress});
    if (report.OldError || report.NewError) {
        outcome_.Problem = report.OldError ? CannotRead(request_.Archive, report.OldError)
                                           : CannotRead(request_.Other, report.NewError);
        return;
    }
    outcome_.Cancelled = report.Cancelled;
    const QString pair = pathtext::ShownPath(request_.Archive) + QStringLiteral(" -> ") +
                         pathtext::ShownPath(request_.Other);
    if (report.Differences() == 0 && report.Problems == 0 && !report.Cancelled) {
        outcome_.Summary =
            pair + QStringLiteral(": the same entries with the same data in the same order");
        return;
    }
    outcome_.Summary = pair + QStringLiteral(": %1 added, %2 removed, %3 changed, %4 moved")
                                  .arg(report.Added)
                                  .arg(report.Removed)
                                  .arg(report.Changed)
                                  .arg(report.Moved);
    if (report.Problems > 0)
        outcome_.Summary += QStringLiteral(", %1 not compared").arg(report.Problems);
}

void ChecksumRun::EntryChecksum(
    const std::function<void(const archive::ExtractProgress&)>& progress, std::stop_token stop) {
    const archive::EntryData data(request_.Archive, request_.Position, request_.ListedName);
    archive::EntryResult record = data.Record();
    record.BytesWritten = data.Size();
    if (!data.Readable() || record.Result == archive::EntryResult::Kind::CutShort) {
        const std::string_view name = record.Name.empty() ? request_.ListedName : record.Name;
        outcome_.Problem = EscapedName(name) + QStringLiteral(": ") +
                           Text(record.Result == archive::EntryResult::Kind::NotOpened
                                    ? archive::Describe(data.ArchiveError())
                                    : archive::Describe(record));
        return;
    }
    archive::Digest digest(archive::Algorithm::Sha256);
    const auto buffer = std::make_unique_for_overwrite<char[]>(1u << 20);
    archive::ExtractProgress p{0, 1, 0, data.Size(), request_.Position, request_.ListedName};
    std::error_code ec;
    while (p.BytesDone < data.Size()) {
        if (stop.stop_requested()) {
            outcome_.Cancelled = true;
            return;
        }
        const std::size_t got = data.Read(p.BytesDone, buffer.get(), 1u << 20, ec);
        if (ec || got == 0) {
            record.Result =
                ec ? archive::EntryResult::Kind::ReadFailed : archive::EntryResult::Kind::CutShort;
            record.Error = ec;
            record.BytesWritten = p.BytesDone;
            outcome_.Problem =
                EscapedName(record.Name) + QStringLiteral(": ") + Text(archive::Describe(record));
            return;
        }
        digest.Update(buffer.get(), got);
        p.BytesDone += got;
        progress(p);
    }
    outcome_.Checksum = QString::fromStdString(archive::Hex(digest.Finish()));
}

QString ChecksumRun::ProgressText(int, int) const {
    const std::lock_guard lock(progressMutex_);
    const QString counted = QStringLiteral(" (%1 of %2)")
                                .arg(std::min(progressDone_ + 1, progressCount_))
                                .arg(progressCount_);
    switch (request_.What) {
    case ChecksumRequest::Kind::Verify:
        return QStringLiteral("Verifying ") + progressName_ + counted;
    case ChecksumRequest::Kind::Compare:
        return QStringLiteral("Comparing ") + progressName_ + counted;
    case ChecksumRequest::Kind::EntryChecksum:
        break;
    }
    return QStringLiteral("Reading ") + progressName_;
}

QString ChecksumRun::CloseQuestion() const {
    return QStringLiteral("A check is running. Cancel it and close the window?");
}

void ChecksumRun::Ended() {
    emit Finished(std::exchange(outcome_, {}));
}
