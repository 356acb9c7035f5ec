#pragma once

#include "archive/Extract.h"
#include "ui/main/ExtractionRun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>

class QEvent;
class QMimeData;
class QTemporaryDir;
class EntryFiles;
class EntryListBox;
class QWidget;

// Entries taken out of the window to other programs: opened with the default application, or
// dragged out of the entry list as files (copy only). Either is extracted through an extraction
// run (the window keeps redrawing; a long run shows its progress and can be cancelled) into a
// folder of its own inside the program's temporary folder, which is removed when the program
// ends. An entry extracted whole before is taken from there again while neither its copy nor
// the archive has changed. An entry that is not written whole is reported as Extract reports
// it and is not opened.
//
// A drag starts at once and extracts when the drop target first asks for the files. A target
// that asks after the drop waits until they are whole; one that asks while the drag goes on
// (to choose between copy and move) gets their names at once, empty files standing for them,
// and the drop is held until they are whole. A run that is cancelled, or fails for any entry,
// delivers nothing and ends the drag; Esc during the drag cancels both.
class EntryTransfer : public QObject {
    Q_OBJECT

public:
    // Runs beside `owner`, the window of `list`.
    EntryTransfer(EntryListBox* list, QWidget* owner);
    ~EntryTransfer() override;

    // Opens entry line `row` with the default application.
    void Open(int row);
    // Drags these positions out of the list, while the button that started it is held.
    void Drag(const std::vector<int>& positions);

    // For tests: receives what a drag would offer instead of starting the drag, and may ask
    // for its data as a drop target does; an empty handler restores the drag.
    using DragHandler = std::function<void(const QMimeData& offered)>;
    static void SetDragHandler(DragHandler handler);

signals:
    // A drag's files are ready to deliver, or none will come.
    void Delivered();

protected:
    // While a drag's files are extracted: holds the release that would drop them.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class EntryFiles;
    enum class Purpose { Open, Drag };
    // The files of the request's entries, extracted now or before (its output folder is
    // chosen here); for a drag, to be delivered to `files`.
    void Start(Purpose purpose, const ExtractionRequest& request, EntryFiles* files = nullptr);
    void Finished(const archive::ExtractReport& report);
    // Hands a file to its program, saying so when none opens it.
    void OpenFile(const QString& file);
    // The run's files (rows not written whole left out), or none when it was cancelled.
    void Done(const QList<QUrl>& files);

    // A file extracted whole, as it was then, and the archive it came from.
    struct Stamp {
        std::uintmax_t Size = 0;
        std::filesystem::file_time_type Modified;
        bool operator==(const Stamp&) const = default;
    };
    static std::optional<Stamp> StampOf(const std::filesystem::path& file);
    struct Copy {
        std::filesystem::path File;
        Stamp Written, Archive;
    };
    // The archive, the entry's position and its listed name: while the archive is unchanged,
    // so is the entry's record.
    using CopyKey = std::tuple<std::filesystem::path, int, std::string>;
    // The copy of that entry made before, while it and the archive are unchanged.
    std::optional<std::filesystem::path> Reusable(const CopyKey& key) const;

    EntryListBox* list_;
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<ExtractionRun> run_;
    Purpose purpose_ = Purpose::Open;
    ExtractionRequest request_;                       // of the run going or last ended, all of it
    std::map<int, std::filesystem::path> reused_;     // its positions taken from copies made before
    std::optional<Stamp> archiveStamp_;               // its archive when it started
    QPointer<EntryFiles> pending_;                    // the drag it delivers to
    std::vector<std::filesystem::path> placeholders_; // the empty files standing for its files
    std::map<CopyKey, Copy> copies_;
    // From the drag's start until the drop goes through: the drop held meanwhile, and where.
    bool dragging_ = false;
    std::unique_ptr<QEvent> heldRelease_;
    QPointer<QObject> releaseTo_;
    int runs_ = 0; // the folders made in the temporary folder
};
