#include "ui/main/ExtractionRun.h"

#include "ui/main/ExtractionRunTestHooks.h"

#include <QApplication>
#include <QException>
#include <QInputEvent>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPromise>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>
#include <exception>
#include <string_view>

namespace {

// The steps of the progress bar, which follows the bytes copied.
constexpr int ProgressSteps = 10000;

extractionrun::WorkerHook& WorkerHookSlot() {
    static extractionrun::WorkerHook hook;
    return hook;
}

} // namespace

void extractionrun::SetWorkerHook(WorkerHook hook) {
    WorkerHookSlot() = std::move(hook);
}

ExtractionRun::ExtractionRun(QWidget* owner) : owner_(owner) {
    appear_.setSingleShot(true);
    connect(&appear_, &QTimer::timeout, this, &ExtractionRun::ShowProgress);
    connect(&watcher_, &QFutureWatcherBase::progressValueChanged, this,
            &ExtractionRun::UpdateProgress);
    connect(&watcher_, &QFutureWatcherBase::finished, this, &ExtractionRun::End);
}

ExtractionRun::~ExtractionRun() {
    if (!running_)
        return;
    stop_.request_stop();
    watcher_.waitForFinished();
    qApp->removeEventFilter(this);
}

bool ExtractionRun::Start(ExtractionRequest request) {
    if (running_)
        return false;
    request_ = std::move(request);
    running_ = true;
    stop_ = {};
    // The worker's progress travels as the future's progress value, which Qt passes on only
    // when it grows: the entries done and the bar's step, in one number that grows with either.
    const int entries = int(request_.Positions.size());
    steps_ = std::max(0, std::min(ProgressSteps, INT_MAX / (entries + 1) - 1));
    qApp->installEventFilter(this);
    watcher_.setFuture(QtConcurrent::run([this, steps = steps_, stop = stop_.get_token(),
                                          hook = WorkerHookSlot()](
                                             QPromise<archive::ExtractReport>& promise) {
        promise.setProgressRange(0, int(request_.Positions.size()) * (steps + 1) + steps);
        const std::vector<std::string_view> listed(request_.ListedNames.begin(),
                                                   request_.ListedNames.end());
        archive::ExtractOptions options;
        options.ListedNames = listed;
        options.Stop = stop;
        options.KeepExisting = request_.KeepExisting;
        options.OnProgress = [&](const archive::ExtractProgress& p) {
            const int step =
                p.TotalBytes ? int(steps * std::min(p.BytesDone, p.TotalBytes) / p.TotalBytes) : 0;
            promise.setProgressValue(int(p.EntriesDone) * (steps + 1) + step);
            if (hook)
                hook(p, stop);
        };
        promise.addResult(archive::ExtractEntries(request_.Archive, request_.OutputFolder,
                                                  request_.Positions, request_.ListCount, options));
    }));
    appear_.start(ProgressDelayMs);
    return true;
}

void ExtractionRun::ShowProgress() {
    if (stop_.stop_requested())
        return;
    dialog_ = std::make_unique<QProgressDialog>(owner_);
    dialog_->setWindowTitle(QStringLiteral("Quillmarrow"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    // Entry names are shown as they are, never read as markup.
    auto* label = new QLabel(dialog_.get());
    label->setTextFormat(Qt::PlainText);
    dialog_->setLabel(label);
    // The bar is set directly: the dialog's own setValue processes events while it is modal.
    bar_ = new QProgressBar(dialog_.get());
    dialog_->setBar(bar_);
    bar_->setRange(0, steps_);
    connect(dialog_.get(), &QProgressDialog::canceled, this, [this] { stop_.request_stop(); });
    UpdateProgress();
    dialog_->show();
}

void ExtractionRun::UpdateProgress() {
    if (!dialog_ || stop_.stop_requested())
        return;
    const int value = watcher_.progressValue();
    const std::size_t entries = request_.Positions.size();
    // The entry in progress is the one after those done.
    const std::size_t k = std::min(std::size_t(value / (steps_ + 1)) + 1, entries);
    const QString name = k > 0 ? QString::fromLocal8Bit(request_.ListedNames[k - 1]) : QString();
    // Through the dialog, which grows to fit the text.
    dialog_->setLabelText(QStringLiteral("Extracting %1 (%2 of %3)").arg(name).arg(k).arg(entries));
    bar_->setValue(value % (steps_ + 1));
}

void ExtractionRun::End() {
    appear_.stop();
    dialog_.reset();
    bar_ = nullptr;
    qApp->removeEventFilter(this);
    running_ = false;
    archive::ExtractReport report;
    try {
        report = watcher_.result();
    } catch (const QUnhandledException& e) { // what the worker threw, as it threw it
        if (e.exception())
            std::rethrow_exception(e.exception());
        throw;
    }
    emit Finished(report);
}

bool ExtractionRun::eventFilter(QObject* watched, QEvent* event) {
    // While the run lasts, no input reaches the owner window: before the progress dialog shows
    // there is nothing to take it, and then the dialog is modal. The window's shortcuts are
    // held back too (an accepted override keeps a key from being a shortcut).
    const auto* widget = qobject_cast<QWidget*>(watched);
    const bool owners = watched == owner_->windowHandle() || (widget && widget->window() == owner_);
    if (!owners || !dynamic_cast<QInputEvent*>(event))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    return true;
}
