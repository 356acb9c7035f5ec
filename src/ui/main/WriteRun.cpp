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
    return Begin(int(request_.Plan.Entries().size()),
                 [this](QPromise<void>& promise, std::stop_token stop) {
                     archive::WriteOptions options;
                     options.ReplaceExisting = request_.ReplaceExisting;
                     options.Compact = request_.Compact;
                     options.Stop = stop;
                     options.OnProgress = [&](const archive::WriteProgress& p) {
                         Progress(promise, p.EntriesDone, p.BytesDone, p.TotalBytes);
                     };
                     report_ = request_.Plan.Write(std::move(options));
                 });
}

QString WriteRun::ProgressText(int k, int n) const {
    const QString name =
        k > 0 ? QString::fromLocal8Bit(request_.Plan.Entries()[std::size_t(k - 1)].Name)
              : QString();
    return QStringLiteral("Writing %1 (%2 of %3)").arg(name).arg(k).arg(n);
}

QString WriteRun::CloseQuestion() const {
    return QStringLiteral("An archive is being written. Cancel the writing and close the window?");
}

void WriteRun::Ended() {
    // The plan's archive is closed once written: the window lists it again.
    emit Finished(std::exchange(report_, {}));
}
