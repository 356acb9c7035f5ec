#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <stop_token>

class QProgressBar;
class QProgressDialog;
class QWidget;
template <typename T> class QPromise;

// One piece of work at a time beside the window that starts it, on a worker thread while the
// window keeps redrawing. The window takes no input while the run lasts; after ProgressDelayMs
// a window-modal progress dialog shows the derived class's text and a bar by bytes, and its
// Cancel (or Esc) asks the work to stop.
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

protected:
    // Stops a run still going and waits for it: the derived class's destructor calls it
    // before the members its work uses are gone.
    void StopAndWait();
    // The work, on the worker thread, with the run's stop token: it reports its progress with
    // Progress(promise, ...).
    using Work = std::function<void(QPromise<void>& promise, std::stop_token stop)>;
    // Starts the work of `units` entries; false, doing nothing, while a run is going.
    bool Begin(int units, Work work);
    // From the work: units done, and bytes done of all.
    void Progress(QPromise<void>& promise, std::uint64_t unitsDone, std::uint64_t bytesDone,
                  std::uint64_t totalBytes) const;
    // The dialog's text while unit k (from 1) of n is in progress.
    virtual QString ProgressText(int k, int n) const = 0;
    // The run has ended (the dialog is gone and the window takes input again); what the work
    // threw is thrown on from here.
    virtual void Ended() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowProgress();
    void UpdateProgress();
    void End();

    QWidget* owner_;
    bool running_ = false;
    int units_ = 0, steps_ = 0; // entries of this run, steps of its bar
    std::stop_source stop_;
    std::function<void(std::uint64_t, std::stop_token)> hook_; // tests' seam, see the hooks header
    QFutureWatcher<void> watcher_;
    QTimer appear_;
    std::unique_ptr<QProgressDialog> dialog_;
    QProgressBar* bar_ = nullptr; // the dialog's
};
