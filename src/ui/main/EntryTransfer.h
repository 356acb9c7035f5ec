#pragma once

#include "archive/Extract.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QMimeData;
class QTemporaryDir;
class ExtractionRun;
class EntryListBox;
class QWidget;

// Entries taken out of the window to other programs: opened with the default application, or
// dragged out of the entry list as files (copy only). Either is extracted first, through an
// extraction run (the window keeps redrawing; a long run shows its progress and can be
// cancelled), into a folder of its own inside the program's temporary folder, which is removed
// when the program ends. An entry that is not written whole is reported as Extract reports it
// and is neither opened nor dragged.
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

    // For tests: receives what a drag would offer instead of starting the drag; an empty
    // handler restores the drag.
    using DragHandler = std::function<void(const QMimeData& offered)>;
    static void SetDragHandler(DragHandler handler);

private:
    enum class Purpose { Open, Drag };
    void Start(Purpose purpose, std::vector<int> rows);
    void Finished(const archive::ExtractReport& report);
    void Open(const std::filesystem::path& file);
    void StartDrag(const archive::ExtractReport& report);

    EntryListBox* list_;
    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<ExtractionRun> run_;
    Purpose purpose_ = Purpose::Open;
    int runs_ = 0; // the folders made in the temporary folder
};
