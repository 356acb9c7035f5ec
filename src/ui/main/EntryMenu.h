#pragma once

#include <QElapsedTimer>
#include <QObject>

class QAction;
class QMenu;
class QPoint;
class frm;
class QListWidget;

// The entry list's context menu (right click, the Menu key, Shift+F10): View (F3), Open (also a
// double-click), Extract (as the button), Copy Names, and Replace, Add Files and Remove. View and
// Open act on the line under the mouse, or on the current line from the keyboard; the window
// carries them out.
class EntryMenu : public QObject {
    Q_OBJECT

public:
    explicit EntryMenu(frm* window);

    QMenu* Menu;
    QAction* mnuEntryView;
    QAction* mnuEntryOpen;
    QAction* mnuEntryExtract;
    QAction* mnuEntryCopyNames;
    QAction* mnuEntryReplace; // these three: see ArchiveEditor
    QAction* mnuEntryAdd;
    QAction* mnuEntryRemove;

    // The line View, Open and Replace act on: the one the menu was opened over, else the
    // current one.
    int Target() const;

signals:
    void View(int row);
    void Open(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Popup(const QPoint& at, int row);
    void CopyNames();
    void ShowViewer(int row);

    frm* window_;
    QListWidget* list_; // the window's entry list, read by the event filter without the window
    int mouseRow_ = -2; // the line under the mouse while the menu it opened is shown
    // A double-click leaves its line's selection as it was before the first press, whatever
    // its presses toggled.
    QElapsedTimer sincePress_;
    int pressRow_ = -1;
    bool pressSelected_ = false;
};
