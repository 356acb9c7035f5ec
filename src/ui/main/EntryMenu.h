#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QPoint;
class EntryListBox;

// The entry list's context menu (right click, the Menu key, Shift+F10): View (F3), Open (also a
// double-click), Extract (as the button), Copy Names, Copy Checksum; Replace, Add Files, Rename
// (F2) and Remove (Delete); Select Matching, Select None and Directory Order. View, Open,
// Replace and Rename act on the line under the mouse, or on the current line from the keyboard;
// Remove on the selected lines, or else that line. The menu views, copies names, selects and
// sorts itself and raises the rest; Extract and Add Files are its actions' own signals.
class EntryMenu : public QObject {
    Q_OBJECT

public:
    explicit EntryMenu(EntryListBox* list);

    QMenu* Menu;
    QAction* mnuEntryView;
    QAction* mnuEntryOpen;
    QAction* mnuEntryExtract;
    QAction* mnuEntryCopyNames;
    QAction* mnuEntryCopyChecksum;
    QAction* mnuEntryReplace;
    QAction* mnuEntryAdd;
    QAction* mnuEntryRename;
    QAction* mnuEntryRemove;
    QAction* mnuEntrySelectMatching;
    QAction* mnuEntrySelectNone;
    QAction* mnuEntryDirectoryOrder;

    // Shows the menu at `at` (global) for position `row` (-1: none). `listingActive` tells
    // whether the window acts on the listing now (Extract is enabled): Extract and the actions
    // that write the archive are enabled only then.
    void Popup(const QPoint& at, int row, bool listingActive);

signals:
    void View(int row);
    void Open(int row);
    void Replace(int row);
    void Rename(int row);
    void CopyChecksum(int row); // the entry's SHA-256 to the clipboard
    void Remove(const std::vector<int>& positions);
    // What Select Matching found, for the status line.
    void Noted(const QString& note);

private:
    // The line View, Open and Replace act on: the one the menu was shown for, else the
    // current one.
    int Target() const;
    void CopyNames();
    void SelectMatching();
    void ShowViewer(int row);

    EntryListBox* list_;
    bool shown_ = false; // while the menu is shown for row_
    int row_ = -1;
};
