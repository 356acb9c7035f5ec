#pragma once

#include "archive/Extract.h"
#include "winutil/clsForm.h"

#include <QList>
#include <QString>

#include <filesystem>
#include <memory>
#include <utility>

class QLabel;
class QPushButton;
class QMenu;
class QAction;
class FileListBox;
class EntryListBox;
class clsINI;
class clsResizeLimits;
class ExtractionRun;
class EntryMenu;
class ArchiveEditor;

// The main window (scale: twips): the current folder, its files, and the entries of the file last
// clicked, with "Select All" and "Extract". Geometry is in twips; the client area is the central
// widget between the menu bar and the status line.
class frm : public clsForm {
    Q_OBJECT

public:
    explicit frm(QWidget* parent = nullptr);
    ~frm() override;

    // The controls, named as the window's design names them.
    QLabel* lblFolder;
    QPushButton* cmdBrowse;
    FileListBox* File;
    EntryListBox* lstFiles;
    QPushButton* cmdSelectAll;
    QPushButton* cmdExtract;
    QMenu* mnuFile;
    QAction* mnuFileNew;
    QAction* mnuFileCompact;
    QAction* mnuFileRefresh;
    QAction* mnuFileExit;
    QMenu* mnuHelp;
    QAction* mnuHelpAbout;
    EntryMenu* mnuEntry; // the entry list's context menu
    QLabel* lblStatus;   // the status line, below the client area

    // The program's folder, where the settings file lives and where the window starts the
    // first time: the executable's folder unless set (tests give it a folder of their own).
    static QString AppPath();
    static void SetAppPath(const QString& path);

    // The most entries one listing shows; the list's positions are 16-bit.
    static constexpr int MaxListedEntries = 32767;

    // Opens a path handed to the program on its command line or dropped on the window, as
    // pathtext::PathText gives it: a file opens its folder with the file highlighted and listed
    // (listed only, in a folder that may not be read), a folder opens that folder, and anything
    // else is reported with what it is. The remembered folder stays as it was.
    void OpenPath(const QString& path);

    // Ends the window as File, Exit does, but without asking: a run going is cancelled (as the
    // program's signals ask), and the window closes once it has ended.
    void Quit();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void cmdBrowse_Click();
    void File_Click();
    void File_PathChange();
    void cmdSelectAll_Click();
    void cmdExtract_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();
    void Extraction_Finished(const archive::ExtractReport& report);

private:
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void ListArchiveEntries(const std::filesystem::path& ArchivePath);
    void ExtractSelectedEntries(const std::filesystem::path& ArchivePath,
                                const QString& OutputFolder);
    void ShowFolder(const QString& folder);
    // Before Extract asks for a folder: false when there is nothing to extract (said so), or
    // nothing is selected and the user does not want every entry (then all are selected).
    bool ChooseEntriesToExtract();
    // A warning owned by the window, shown once the window is (at once when it is).
    void Warn(const QString& Prompt, const QString& Title);
    // Whether a drop at `at` (the window's coordinates) adds to the listed archive: over the
    // entry list while the listing is active.
    bool DropAdds(const QPoint& at) const;

    std::unique_ptr<clsINI> ini_;
    std::unique_ptr<clsResizeLimits> limits_;
    // Extract's run beside the window, which takes no input meanwhile.
    std::unique_ptr<ExtractionRun> extraction_;
    ArchiveEditor* editor_;
    QList<std::pair<QString, QString>> warnings_; // prompts and titles waiting for the window
};
