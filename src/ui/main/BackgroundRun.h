#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

class QMessageBox;
class QProgressBar;
class QProgressDialog;
class QWidget;
template <typename T> class QPromise;

// One piece of work at a time beside the window that starts it, on a worker thread while the
// window keeps redrawing. The window takes no input while the run lasts; after ProgressDelayMs
// a progress dialog over it shows the derived class's text and a bar by bytes, and its Cancel
// (or Esc) asks the work to stop.
//
// A request to close the window while the run lasts asks once, over the progress dialog,
// whether to cancel the run and close; the work waits for the answer at its next progress
// report. Yes stops the run, which then ends without a closing message and closes the window;
// No lets it go on. A run that ends by itself meanwhile takes the question away.
class BackgroundRun : public QObject {
    Q_OBJECT

public:
    explicit BackgroundRun(QWidget* owner);
    ~BackgroundRun() override;

    // How long a run lasts before its progress dialog appears.
    static constexpr int ProgressDelayMs = 500;

    bool IsRunning() const { return running_; }
    // Asks a run going to stop, as the progress dialog's Cancel does; the run then ends.
    void Stop() { stop_.request_stop(); }
    // Whether the run going (or ending) was stopped for its window to close: its end then
    // reports nothing.
    bool ClosesOwner() const { return closing_; }
    // Ends the window's run without asking, as Yes to the close question does: false when
    // none of its runs is going (the caller closes the window itself then).
    static bool StopAndCloseOwner(QWidget* owner);
    // While a drag that the window started lasts: the drag's own input to the window passes.
    void SetDragging(bool dragging) { dragging_ = dragging; }

protected:
    // Stops a run still going and waits for it: the derived class's destructor calls it
    // before the members its work uses are gone.
    void StopAndWait();
    // The work, on the worker thread, with the run's stop token: it reports its progress with
    // Progress(promise, ...).
    using Work = std::function<void(QPromise<void>& promise, std::stop_token stop)>;
    // Starts the work of `units` entries; false, doing nothing, while a run is going.
    bool Begin(int units, Work work);
    // From the work: units done, and bytes done of all. Waits while the close question is
    // asked.
    void Progress(QPromise<void>& promise, std::uint64_t unitsDone, std::uint64_t bytesDone,
                  std::uint64_t totalBytes);
    // The dialog's text while unit k (from 1) of n is in progress.
    virtual QString ProgressText(int k, int n) const = 0;
    // The question asked when the window is to close during the run.
    virtual QString CloseQuestion() const = 0;
    // The run has ended (the dialog is gone and the window takes input again); what the work
    // threw is thrown on from here.
    virtual void Ended() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowProgress();
    void UpdateProgress();
    void End();
    void AskToClose();
    void Answered(int answer);
    // Stops the run for the window to close.
    void StopToClose();
    // Holds the work at its next progress report, or lets it go on.
    void Hold(bool held);
    // Takes the question away unanswered.
    void Withdraw();

    QWidget* owner_;
    bool running_ = false;
    int units_ = 0, steps_ = 0; // entries of this run, steps of its bar
    std::stop_source stop_;
    std::function<void(std::uint64_t, std::stop_token)> hook_; // tests' seam, see the hooks header
    QFutureWatcher<void> watcher_;
    QTimer appear_;
    std::unique_ptr<QProgressDialog> dialog_;
    QProgressBar* bar_ = nullptr; // the dialog's
    // The close question: asked (its box while shown), answered Yes, the dialog's delay over.
    bool asking_ = false, closing_ = false, dialogDue_ = false;
    QPointer<QMessageBox> question_;
    bool dragging_ = false;
    std::mutex holdMutex_;
    std::condition_variable resume_;
    bool held_ = false;
};
