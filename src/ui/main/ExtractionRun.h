#pragma once

#include "archive/Extract.h"
#include "ui/main/BackgroundRun.h"

#include <filesystem>
#include <string>
#include <vector>

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

// One extraction at a time beside the window that starts it (a BackgroundRun): its progress
// dialog shows "Extracting NAME (k of n)", and its Cancel stops the run within one buffer.
// Finished brings the report.
class ExtractionRun : public BackgroundRun {
    Q_OBJECT

public:
    explicit ExtractionRun(QWidget* owner);
    ~ExtractionRun() override;

    // Starts the run; false, doing nothing, while one is going.
    bool Start(ExtractionRequest request);
    // The request of the run going or last finished.
    const ExtractionRequest& Request() const { return request_; }

signals:
    // The run has ended: every entry is written, has failed or was cancelled.
    void Finished(const archive::ExtractReport& report);

private:
    QString ProgressText(int k, int n) const override;
    QString CloseQuestion() const override;
    void Ended() override;

    ExtractionRequest request_;
    archive::ExtractReport report_;
};
