#pragma once

#include <QObject>
#include <QString>

#include <memory>

class ChecksumRun;
class EntryListBox;
class QAction;
class QMenu;
class QWidget;
struct ChecksumOutcome;

// Looking inside the listed archive's entries from the window: File, "Verify Against..." (a
// checksum list chosen with a file dialog) and "Compare With..." (another archive) show what
// quillmarrow-cli verify and diff would write in a window of their own (frmChecks); the entry
// list's "Copy Checksum" puts an entry's SHA-256 on the clipboard. Each reads on a ChecksumRun.
class ArchiveChecks : public QObject {
    Q_OBJECT

public:
    ArchiveChecks(EntryListBox* list, QWidget* owner);
    ~ArchiveChecks() override;

    QAction* mnuFileVerify;
    QAction* mnuFileCompare;

    // Puts the two actions into `menu` after `after`.
    void AddActions(QMenu* menu, QAction* after);
    // The folder the file dialogs open at: the window's current one.
    void SetFolder(const QString& folder) { folder_ = folder; }

    void Verify();
    void Compare();
    void CopyChecksum(int row);

private:
    // The archive listed, or false after saying there is none.
    bool Listed(const QString& title) const;
    void Finished(const ChecksumOutcome& outcome);

    EntryListBox* list_;
    QWidget* owner_;
    QString folder_;
    std::unique_ptr<ChecksumRun> run_;
};
