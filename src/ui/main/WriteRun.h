#pragma once

#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "ui/main/BackgroundRun.h"

#include <QStringList>

#include <filesystem>
#include <memory>
#include <vector>

// What a run writes: an archive of these entries at Archive.
struct WriteRequest {
    std::filesystem::path Archive;
    std::vector<archive::WriteEntry> Entries;
    QStringList Subjects; // each entry's subject in messages: the file as shown, or its name
    QStringList Refused;  // lines found before the core's checks: then only the checks run
    std::unique_ptr<archive::Archive> Old; // the archive edited, open; none for a new one
    bool ReplaceExisting = false;          // a new archive replaces a file of its name
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
    void Ended() override;

    WriteRequest request_;
    archive::WriteReport report_;
};
