#pragma once

#include "archive/ArchiveWriter.h"

#include <QObject>
#include <QString>

#include <memory>

class WriteRun;
struct WriteRequest;
class frm;

// Writing archives from the window: Replace (a file's bytes become the data of the entry under
// the mouse, or of the current line), Add Files and Remove (the selected entries, or the one
// under the mouse, after a question) in the entry list's context menu, and New Archive (files,
// then a name) in the File menu. Each writes through the archive core, which refuses what the
// format cannot hold and replaces the archive only when the new one is whole, on a WriteRun;
// refusals are reported one a line, and the archive is listed again when the run ends.
class ArchiveEditor : public QObject {
    Q_OBJECT

public:
    explicit ArchiveEditor(frm* window);
    ~ArchiveEditor() override;

private:
    void Replace();
    void Add();
    void Remove();
    void NewArchive();
    // The listed archive, opened for editing with every entry kept; false when it cannot be
    // edited (said so).
    bool OpenListed(WriteRequest& request);
    void Finished(const archive::WriteReport& report);

    frm* window_;
    std::unique_ptr<WriteRun> run_;
};
