#include "ui/main/WriteRun.h"

#include <QPromise>

#include <utility>

WriteRun::WriteRun(QWidget* owner) : BackgroundRun(owner) {}

WriteRun::~WriteRun() {
    StopAndWait();
}

bool WriteRun::Start(WriteRequest request) {
    if (IsRunning())
        return false;
    request_ = std::move(request);
    return Begin(int(request_.Entries.size()),
                 [this](QPromise<void>& promise, std::stop_token stop) {
                     archive::WriteOptions options;
                     options.Old = request_.Old.get();
                     options.ReplaceExisting = request_.ReplaceExisting;
                     options.CheckOnly = !request_.Refused.isEmpty();
                     options.Stop = stop;
                     options.OnProgress = [&](const archive::WriteProgress& p) {
                         Progress(promise, p.EntriesDone, p.BytesDone, p.TotalBytes);
                     };
                     report_ = archive::WriteArchive(request_.Archive, request_.Entries, options);
                 });
}

QString WriteRun::ProgressText(int k, int n) const {
    const QString name =
        k > 0 ? QString::fromLocal8Bit(request_.Entries[std::size_t(k - 1)].Name) : QString();
    return QStringLiteral("Writing %1 (%2 of %3)").arg(name).arg(k).arg(n);
}

void WriteRun::Ended() {
    request_.Old.reset(); // closed: the window lists the archive again
    emit Finished(std::exchange(report_, {}));
}
