#pragma once

#include "archive/Directory.h"
#include "ui/main/ExtractionRun.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QTreeView>

#include <filesystem>
#include <string_view>
#include <vector>

class QMouseEvent;
class EntryModel;

// The main window's entry list: the entries of one archive in columns (name, size, offset),
// several selected at once (a click or Space toggles one line). A click on a column's header
// sorts the lines by it (again: the other way; a third time, or ShowDirectoryOrder, brings back
// directory order, line k showing record k). Typing a name's first letters moves the current
// line to it without changing the selection. The list raises what the user asks of its lines
// (the context menu, a double-click, a drag) and leaves carrying it out to others. What the
// rest of the program knows of the lines goes through the functions below: positions are
// record numbers, however the lines are sorted.
class EntryListBox : public QTreeView {
    Q_OBJECT

public:
    explicit EntryListBox(QWidget* parent = nullptr);

    // Shows the records of an archive, sorted as the list is.
    void ShowListing(const std::filesystem::path& archive, archive::EntryList records);
    // Shows nothing, of no archive.
    void ClearListing();
    // The archive whose entries are shown (empty when none) and its records.
    const std::filesystem::path& ListedArchive() const { return archive_; }
    const archive::EntryList& Listing() const;
    int EntryCount() const { return int(Listing().size()); }
    // Position k's name as shown (decoded as the system's code page); "" past the last line.
    QString ShownName(int k) const;
    // The current line's position; -1 when there is none.
    int CurrentPosition() const;
    void SetCurrentPosition(int k);
    // Where position k's line is, in the viewport; empty when it is not listed.
    QRect LineRect(int k) const;

    // The positions of the selected lines, ascending.
    std::vector<int> SelectedPositions() const;
    bool HasSelection() const;
    void SelectAll();
    // Adds the entries whose names match the pattern (archive::MatchesPattern) to the
    // selection; how many match.
    int SelectMatching(std::string_view pattern, bool foldCase);

    bool InDirectoryOrder() const;
    void ShowDirectoryOrder();

    // A request to extract these positions (ascending, each once) of the listed archive, with
    // the names listed at them, so that the run notices an archive changed since it was listed.
    // The output folder is left to the caller.
    ExtractionRequest Extraction(std::vector<int> positions) const;

signals:
    // The context menu is asked for at `at` (global): by the mouse over position `row` (-1
    // below the last line), or by the keyboard (the Menu key, Shift+F10) for the current line.
    void MenuRequested(const QPoint& at, int row);
    // Position `row` was double-clicked; its selection is as it was before the first click.
    void Open(int row);
    // The left button dragged these positions out of the list: the selected ones when the
    // press was on a selected line, else that line alone. The selection stays as it was.
    void Drag(const std::vector<int>& positions);
    // Another listing is shown, or the selection changed.
    void ListingChanged();
    void SelectionChanged();

protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FitColumns();
    // Sorts the lines as the header's indicator says, keeping the selection.
    void Sort(int column, Qt::SortOrder order);
    // Makes the selection the rows marked.
    void SelectRows(const std::vector<char>& marked);
    void NotePress(const QMouseEvent& press);
    // A move of the left button: true when it is the list's to swallow (a drag of lines).
    bool DragMove(const QMouseEvent& move);

    EntryModel* model_;
    std::filesystem::path archive_;
    // A press on a line, seen before the list toggles the line: the line (a row of the view)
    // and whether it was selected. The left button's last press may start a drag (Row -1: none
    // pending); the first press of a double-click gives the line's selection back once the
    // double-click is done.
    struct Press {
        QPoint At;
        int Row = -1;
        bool Selected = false;
    };
    Press dragPress_, firstPress_;
    QElapsedTimer sincePress_;
};
