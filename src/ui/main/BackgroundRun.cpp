#include "ui/main/BackgroundRun.h"

#include "ui/main/BackgroundRunTestHooks.h"

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

namespace {

// The steps of the progress bar, which follows the bytes copied.
constexpr int ProgressSteps = 10000;

backgroundrun::WorkerHook& WorkerHookSlot() {
    static backgroundrun::WorkerHook hook;
    return hook;
}

} // namespace

void backgroundrun::SetWorkerHook(WorkerHook hook) {
    WorkerHookSlot() = std::move(hook);
}

BackgroundRun::BackgroundRun(QWidget* owner) : owner_(owner) {
    appear_.setSingleShot(true);
    connect(&appear_, &QTimer::timeout, this, &BackgroundRun::ShowProgress);
    connect(&watcher_, &QFutureWatcherBase::progressValueChanged, this,
            &BackgroundRun::UpdateProgress);
    connect(&watcher_, &QFutureWatcherBase::finished, this, &BackgroundRun::End);
}

BackgroundRun::~BackgroundRun() {
    StopAndWait();
}

void BackgroundRun::StopAndWait() {
    if (!running_)
        return;
    stop_.request_stop();
    watcher_.waitForFinished();
    qApp->removeEventFilter(this);
    running_ = false;
}

bool BackgroundRun::Begin(int units, Work work) {
    if (running_)
        return false;
    running_ = true;
    stop_ = {};
    hook_ = WorkerHookSlot();
    // The worker's progress travels as the future's progress value, which Qt passes on only
    // when it grows: the entries done and the bar's step, in one number that grows with either.
    units_ = units;
    steps_ = std::max(0, std::min(ProgressSteps, INT_MAX / (units + 1) - 1));
    qApp->installEventFilter(this);
    watcher_.setFuture(QtConcurrent::run(
        [this, work = std::move(work), stop = stop_.get_token()](QPromise<void>& promise) {
            promise.setProgressRange(0, units_ * (steps_ + 1) + steps_);
            work(promise, stop);
        }));
    appear_.start(ProgressDelayMs);
    return true;
}

void BackgroundRun::Progress(QPromise<void>& promise, std::uint64_t unitsDone,
                             std::uint64_t bytesDone, std::uint64_t totalBytes) const {
    const int step = totalBytes ? int(steps_ * std::min(bytesDone, totalBytes) / totalBytes) : 0;
    promise.setProgressValue(int(unitsDone) * (steps_ + 1) + step);
    if (hook_)
        hook_(unitsDone, stop_.get_token());
}

void BackgroundRun::ShowProgress() {
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

void BackgroundRun::UpdateProgress() {
    if (!dialog_ || stop_.stop_requested())
        return;
    const int value = watcher_.progressValue();
    // The entry in progress is the one after those done.
    const int k = std::min(value / (steps_ + 1) + 1, units_);
    // Through the dialog, which grows to fit the text.
    dialog_->setLabelText(ProgressText(k, units_));
    bar_->setValue(value % (steps_ + 1));
}

void BackgroundRun::End() {
    appear_.stop();
    dialog_.reset();
    bar_ = nullptr;
    qApp->removeEventFilter(this);
    running_ = false;
    try {
        watcher_.waitForFinished();
    } catch (const QUnhandledException& e) { // what the worker threw, as it threw it
        if (e.exception())
            std::rethrow_exception(e.exception());
        throw;
    }
    Ended();
}

bool BackgroundRun::eventFilter(QObject* watched, QEvent* event) {
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
