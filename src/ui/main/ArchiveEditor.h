#pragma once

#include "archive/ArchiveWriter.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class EntryListBox;
class QWidget;
class WriteRun;
struct WriteRequest;

// Writing archives from the window: Replace (a file's bytes become the data of the entry at a
// position, which keeps its name and place), Add Files and Remove (the entries at positions,
// after a question) on the archive the entry list shows, and New Archive (files, then a name).
// Each writes through the archive core, which refuses what the format cannot hold and replaces
// the archive only when the new one is whole, on a WriteRun; refusals are reported one a line,
// and the archive is to be listed again when the run ends.
class ArchiveEditor : public QObject {
    Q_OBJECT

public:
    // Edits the archive `list` shows, beside `owner`, the window of the list.
    ArchiveEditor(EntryListBox* list, QWidget* owner);
    ~ArchiveEditor() override;

    // The folder the file dialogs open at: the window's current one.
    void SetFolder(const QString& folder) { folder_ = folder; }

    void Replace(int row);
    void Add();
    void Remove(const std::vector<int>& rows);
    void NewArchive();

signals:
    // The run has ended: the archive (the new one, or the old one as it was) is to be listed.
    void ListAgain(const QString& archive);

private:
    // The listed archive, opened for editing with every entry kept; false when it cannot be
    // edited (said so).
    bool OpenListed(WriteRequest& request);
    void Finished(const archive::WriteReport& report);

    EntryListBox* list_;
    QWidget* owner_;
    QString folder_;
    std::unique_ptr<WriteRun> run_;
};
