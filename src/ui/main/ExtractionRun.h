#pragma once

#include "archive/Extract.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

class QProgressBar;
class QProgressDialog;
class QWidget;

// What a run extracts: entries of an archive, chosen by their list positions, into a folder.
struct ExtractionRequest {
    std::filesystem::path Archive;
    std::filesystem::path OutputFolder;
    std::vector<int> Positions;           // ascending, each once
    std::vector<std::string> ListedNames; // the name listed at each position, in the same order
    int ListCount = 0;                    // the lines listed; positions at or above are skipped
    // An existing file of an entry's name is kept (the entry is KeptExisting), not replaced.
    bool KeepExisting = false;
};

// One extraction at a time beside the window that starts it: the entries are written on a
// worker thread while the window keeps redrawing. The window takes no input while the run
// lasts; after ProgressDelayMs a window-modal progress dialog shows "Extracting NAME (k of n)"
// and a bar by bytes, and its Cancel (or Esc) stops the run within one buffer. Finished brings
// the report.
class ExtractionRun : public QObject {
    Q_OBJECT

public:
    explicit ExtractionRun(QWidget* owner);
    ~ExtractionRun() override; // a run still going is stopped and waited for

    // How long a run lasts before its progress dialog appears.
    static constexpr int ProgressDelayMs = 500;

    // Starts the run; false, doing nothing, while one is going.
    bool Start(ExtractionRequest request);
    bool IsRunning() const { return running_; }
    // Asks a run going to stop, as the progress dialog's Cancel does; Finished follows.
    void Stop() { stop_.request_stop(); }
    // The request of the run going or last finished.
    const ExtractionRequest& Request() const { return request_; }

signals:
    // The run has ended: every entry is written, has failed or was cancelled.
    void Finished(const archive::ExtractReport& report);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowProgress();
    void UpdateProgress();
    void End();

    QWidget* owner_;
    ExtractionRequest request_;
    bool running_ = false;
    int steps_ = 0; // of the bar in this run
    std::stop_source stop_;
    QFutureWatcher<archive::ExtractReport> watcher_;
    QTimer appear_;
    std::unique_ptr<QProgressDialog> dialog_;
    QProgressBar* bar_ = nullptr; // the dialog's
};
