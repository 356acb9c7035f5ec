#pragma once

#include "archive/ArchiveWriter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class EntryListBox;
class QWidget;
class WriteRun;
struct WriteRequest;

// Writing archives from the window: Replace (a file's bytes become the data of the entry at a
// position, which keeps its name and place), Add Files (chosen, or dropped on the list after a
// question), Rename (the entry at a position gets a name typed, in its place) and Remove (the
// entries at positions, after a question) on the archive the entry list shows, and New Archive
// (files, then a name); Compact writes the listed archive again without gaps. Each writes through the archive core, which refuses what the format
// cannot hold and replaces the archive only when the new one is whole, on a WriteRun; refusals
// are reported one a line, and the archive is to be listed again when the run ends.
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
    void AddDropped(const QStringList& files);
    void Rename(int row);
    void Remove(const std::vector<int>& rows);
    void NewArchive();
    // The listed archive written again in the layout of a new one, its gaps reclaimed.
    void Compact();

signals:
    // The run has ended: the archive (the new one, or the old one as it was) is to be listed.
    void ListAgain(const QString& archive);
    // Then, when it was written: what was written ("Replaced README.TXT in W.dat").
    void Written(const QString& what);

private:
    // The listed archive, opened for editing with every entry kept; false when it cannot be
    // edited (said so).
    bool OpenListed(WriteRequest& request);
    void AddFiles(const QStringList& files);
    // Starts the run, which writes what `what` says.
    void Start(WriteRequest request, const QString& what);
    void Finished(const archive::WriteReport& report);

    EntryListBox* list_;
    QWidget* owner_;
    QString folder_;
    QString what_; // the run's
    std::unique_ptr<WriteRun> run_;
};
