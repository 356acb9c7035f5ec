#pragma once

#include "archive/Extract.h"
#include "ui/main/BackgroundRun.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <mutex>
#include <string>

// What a run reads: the listed archive checked against a checksum list, compared with another
// archive, or one entry's SHA-256.
struct ChecksumRequest {
    enum class Kind { Verify, Compare, EntryChecksum };
    Kind What = Kind::Verify;
    std::filesystem::path Archive{};
    std::filesystem::path Other{}; // the checksum list, or the archive compared with
    int Position = -1;             // EntryChecksum: the entry's list position and listed name
    std::string ListedName{};
};

// What it found, as the command line says it (names escaped as there).
struct ChecksumOutcome {
    QString Problem;   // why nothing could be checked: the path or the entry, and the reason
    QStringList Lines; // the problems and differences, at most MaxLines and a line counting more
    QString Summary;
    bool Cancelled = false;
    QString Checksum; // EntryChecksum: the digest in hex
};

// One such run at a time beside the window that starts it (a BackgroundRun): its progress
// dialog shows "Verifying NAME (k of n)", "Comparing NAME (k of n)" or "Reading NAME", and its
// Cancel stops the run within one buffer. Finished brings the outcome.
class ChecksumRun : public BackgroundRun {
    Q_OBJECT

public:
    // The most lines an outcome keeps.
    static constexpr int MaxLines = 10000;

    explicit ChecksumRun(QWidget* owner);
    ~ChecksumRun() override;

    // Starts the run; false, doing nothing, while one is going.
    bool Start(ChecksumRequest request);
    const ChecksumRequest& Request() const { return request_; }

signals:
    void Finished(const ChecksumOutcome& outcome);

private:
    void Verify(const std::function<void(const archive::ExtractProgress&)>& progress,
                std::stop_token stop);
    void Compare(const std::function<void(const archive::ExtractProgress&)>& progress,
                 std::stop_token stop);
    void EntryChecksum(const std::function<void(const archive::ExtractProgress&)>& progress,
                       std::stop_token stop);
    void AddLine(const QString& line);
    QString ProgressText(int k, int n) const override;
    QString CloseQuestion() const override;
    void Ended() override;

    ChecksumRequest request_;
    ChecksumOutcome outcome_;
    int moreLines_ = 0;
    // The entry in progress, told by the worker for the dialog.
    mutable std::mutex progressMutex_;
    QString progressName_;
    std::uint64_t progressDone_ = 0, progressCount_ = 0;
};
