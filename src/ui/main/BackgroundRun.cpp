#include "ui/main/BackgroundRun.h"

#include "ui/main/BackgroundRunTestHooks.h"
#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QException>
#include <QInputEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPromise>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>
#include <exception>
#include <vector>

namespace {

// The steps of the progress bar, which follows the bytes copied.
constexpr int ProgressSteps = 10000;

backgroundrun::WorkerHook& WorkerHookSlot() {
    static backgroundrun::WorkerHook hook;
    return hook;
}

// Every run object, for StopAndCloseOwner; touched on the GUI thread only.
std::vector<BackgroundRun*>& Runs() {
    static std::vector<BackgroundRun*> runs;
    return runs;
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
    Runs().push_back(this);
}

BackgroundRun::~BackgroundRun() {
    StopAndWait();
    std::erase(Runs(), this);
}

bool BackgroundRun::StopAndCloseOwner(QWidget* owner) {
    for (BackgroundRun* run : Runs())
        if (run->owner_ == owner && run->running_) {
            run->StopToClose();
            return true;
        }
    return false;
}

void BackgroundRun::StopAndWait() {
    if (!running_)
        return;
    Withdraw();
    stop_.request_stop();
    Hold(false);
    watcher_.waitForFinished();
    qApp->removeEventFilter(this);
    running_ = false;
}

bool BackgroundRun::Begin(int units, Work work) {
    if (running_)
        return false;
    running_ = true;
    closing_ = dialogDue_ = false;
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
                             std::uint64_t bytesDone, std::uint64_t totalBytes) {
    const int step = totalBytes ? int(steps_ * std::min(bytesDone, totalBytes) / totalBytes) : 0;
    promise.setProgressValue(int(unitsDone) * (steps_ + 1) + step);
    {
        std::unique_lock lock(holdMutex_);
        resume_.wait(lock, [this] { return !held_; });
    }
    if (hook_)
        hook_(unitsDone, stop_.get_token());
}

void BackgroundRun::Hold(bool held) {
    {
        const std::lock_guard lock(holdMutex_);
        held_ = held;
    }
    resume_.notify_all();
}

void BackgroundRun::ShowProgress() {
    if (stop_.stop_requested())
        return;
    if (asking_) { // shown once the question is answered No
        dialogDue_ = true;
        return;
    }
    // Over the window but not modal to it: the event filter keeps input from the window, and
    // a close request still reaches it, to be asked about.
    dialog_ = std::make_unique<QProgressDialog>(owner_);
    dialog_->setWindowTitle(QStringLiteral("Quillmarrow"));
    dialog_->setAutoReset(false);
    dialog_->setAutoClose(false);
    // Entry names are shown as they are, never read as markup.
    auto* label = new QLabel(dialog_.get());
    label->setTextFormat(Qt::PlainText);
    dialog_->setLabel(label);
    // The bar is set directly: the dialog's own setValue processes events.
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

void BackgroundRun::AskToClose() {
    if (asking_ || closing_) // asked once; after Yes the window closes when the run ends
        return;
    asking_ = true;
    Hold(true);
    // Over the progress dialog when it shows, modal to it and the window.
    QWidget* over = dialog_ ? static_cast<QWidget*>(dialog_.get()) : owner_;
    QMessageBox* box = modMsgBox::MsgBoxLater(
        CloseQuestion(), modMsgBox::vbYesNo + modMsgBox::vbQuestion, QStringLiteral("Quillmarrow"),
        over, [this](int answer) { Answered(answer); });
    if (asking_) // not answered at once
        question_ = box;
}

void BackgroundRun::Answered(int answer) {
    if (!asking_) // taken away: the run ended meanwhile, or the window is closing anyway
        return;
    asking_ = false;
    question_ = nullptr;
    if (answer == modMsgBox::vbYes) {
        StopToClose();
        return;
    }
    Hold(false);
    if (std::exchange(dialogDue_, false))
        ShowProgress();
}

void BackgroundRun::StopToClose() {
    Withdraw();
    closing_ = true;
    stop_.request_stop();
    Hold(false);
}

void BackgroundRun::Withdraw() {
    asking_ = false;
    delete question_.data();
    question_ = nullptr;
}

void BackgroundRun::End() {
    appear_.stop();
    Withdraw();
    Hold(false);
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
    if (std::exchange(closing_, false))
        owner_->close();
}

bool BackgroundRun::eventFilter(QObject* watched, QEvent* event) {
    // While the run lasts, no input reaches the owner window: before the progress dialog shows
    // there is nothing to take it, and then the dialog takes it. The window's shortcuts are
    // held back too (an accepted override keeps a key from being a shortcut). A request to
    // close the window is asked about instead.
    const auto* widget = qobject_cast<QWidget*>(watched);
    const bool window = watched == owner_ || watched == owner_->windowHandle();
    const bool owners = window || (widget && widget->window() == owner_);
    if (!owners)
        return QObject::eventFilter(watched, event);
    if (window && event->type() == QEvent::Close) {
        event->ignore();
        AskToClose();
        return true;
    }
    // The window shows the dialog when it is activated, as a modal dialog would.
    if (event->type() == QEvent::WindowActivate && watched == owner_ && dialog_ && !asking_)
        dialog_->activateWindow();
    if (!dynamic_cast<QInputEvent*>(event))
        return QObject::eventFilter(watched, event);
    if (dragging_ && watched->isWindowType()) // the drag's, which takes it from the window
        return false;
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    return true;
}
