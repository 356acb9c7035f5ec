#pragma once

#include "winutil/clsForm.h"

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QMenu;
class QAction;
class FileListBox;
class clsINI;
class clsResizeLimits;

// The main window (scale: twips): the current folder, its files, and the entries of the file last
// clicked, with "Select All" and "Extract". Geometry is in twips; the client area is the central
// widget below the menu bar.
class frm : public clsForm {
    Q_OBJECT

public:
    explicit frm(QWidget* parent = nullptr);
    ~frm() override;

    // The controls, named as the window's design names them.
    QLabel* lblFolder;
    QPushButton* cmdBrowse;
    FileListBox* File;
    QListWidget* lstFiles;
    QPushButton* cmdSelectAll;
    QPushButton* cmdExtract;
    QMenu* mnuFile;
    QAction* mnuFileExit;
    QMenu* mnuHelp;
    QAction* mnuHelpAbout;

    // The program's folder, where the settings file lives and where the window starts the
    // first time: the executable's folder unless set (tests give it a folder of their own).
    static QString AppPath();
    static void SetAppPath(const QString& path);

    // The most entries one listing shows; the list's positions are 16-bit.
    static constexpr int MaxListedEntries = 32767;

    // The positions of the selected lines, ascending: the entries Extract writes.
    std::vector<int> SelectedPositions() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void cmdBrowse_Click();
    void File_Click();
    void File_PathChange();
    void cmdSelectAll_Click();
    void cmdExtract_Click();
    void mnuFileExit_Click();
    void mnuHelpAbout_Click();

private:
    void Form_Load();
    void Form_Resize();
    void Form_Unload();
    void ListArchiveEntries(const QString& ArchivePath);
    void ExtractSelectedEntries(const QString& ArchivePath, const QString& OutputFolder);
    QString ArchivePathOfSelection() const;

    std::unique_ptr<clsINI> ini_;
    std::unique_ptr<clsResizeLimits> limits_;
    // The name bytes of the listed entries, line k being record k: extraction checks that the
    // records still hold them.
    std::vector<std::string> listedNames_;
};
