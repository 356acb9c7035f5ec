#include "ui/main/ExtractionRun.h"

#include <QPromise>

#include <string_view>
#include <utility>

ExtractionRun::ExtractionRun(QWidget* owner) : BackgroundRun(owner) {}

ExtractionRun::~ExtractionRun() {
    StopAndWait();
}

bool ExtractionRun::Start(ExtractionRequest request) {
    if (IsRunning())
        return false;
    request_ = std::move(request);
    return Begin(int(request_.Positions.size()),
                 [this](QPromise<void>& promise, std::stop_token stop) {
                     const std::vector<std::string_view> listed(request_.ListedNames.begin(),
                                                                request_.ListedNames.end());
                     archive::ExtractOptions options;
                     options.ListedNames = listed;
                     options.Stop = stop;
                     options.KeepExisting = request_.KeepExisting;
                     options.OnProgress = [&](const archive::ExtractProgress& p) {
                         Progress(promise, p.EntriesDone, p.BytesDone, p.TotalBytes);
                     };
                     report_ =
                         archive::ExtractEntries(request_.Archive, request_.OutputFolder,
                                                 request_.Positions, request_.ListCount, options);
                 });
}

QString ExtractionRun::ProgressText(int k, int n) const {
    const QString name =
        k > 0 ? QString::fromLocal8Bit(request_.ListedNames[std::size_t(k - 1)]) : QString();
    return QStringLiteral("Extracting %1 (%2 of %3)").arg(name).arg(k).arg(n);
}

QString ExtractionRun::CloseQuestion() const {
    return QStringLiteral("An extraction is running. Cancel it and close the window?");
}

void ExtractionRun::Ended() {
    emit Finished(std::exchange(report_, {}));
}
