#pragma once

#include "archive/ArchiveWriter.h"
#include "archive/EditPlan.h"
#include "ui/main/BackgroundRun.h"

// What a run writes: the plan's archive. Its subjects are as the window shows them (UTF-8), but
// a kept entry's, which is its name's bytes.
struct WriteRequest {
    archive::EditPlan Plan;
    bool ReplaceExisting = false; // a new archive replaces a file of its name
    bool Compact = false;         // written in the layout of a new archive, without gaps
};

// One archive written at a time beside the window that starts it (a BackgroundRun): its
// progress dialog shows "Writing NAME (k of n)", and its Cancel stops the run with nothing
// written. Finished brings the report.
class WriteRun : public BackgroundRun {
    Q_OBJECT

public:
    explicit WriteRun(QWidget* owner);
    ~WriteRun() override;

    // Starts the run; false, doing nothing, while one is going.
    bool Start(WriteRequest request);
    // The request of the run going or last finished.
    const WriteRequest& Request() const { return request_; }

signals:
    void Finished(const archive::WriteReport& report);

private:
    QString ProgressText(int k, int n) const override;
    QString CloseQuestion() const override;
    void Ended() override;

    WriteRequest request_;
    archive::WriteReport report_;
};
