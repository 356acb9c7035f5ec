#pragma once

#include <QListWidget>
#include <QString>

#include <filesystem>
#include <system_error>
#include <vector>

// The main window's file list: the ordinary, non-hidden files of one folder, sorted by name.
// Path is the folder exactly as it was set, as pathtext::PathText gives it; FileName is the
// highlighted file's name without the folder, as shown. Each line keeps the name as the system
// gave it, so a name that is not valid text (shown with replacement characters) still opens the
// file it names. Click is raised whenever the highlighted file changes, however that happens (a
// click, a key, a press or a drag, a refresh that finds it gone), and when the highlighted file
// is clicked again; PathChange when Path takes a different value.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    // Sets the folder and lists it, also when it is the same folder again.
    void SetPath(const QString& path);
    QString FileName() const;
    // Highlights the file of that name (as the system gives it) and raises Click once, also
    // when it was highlighted already; false, changing nothing, when the list has no such file.
    bool SetFileName(const std::filesystem::path& name);
    // The highlighted file's path, joined from Path and its name as the system gave it; empty
    // when no file is highlighted.
    std::filesystem::path FilePath() const;

    // Lists the folder again (files may have come or gone since). The highlighted file stays
    // highlighted when it is still there.
    void Refresh();
    // Why the folder could not be listed the last time it was read; empty when it was listed,
    // or when Path names no folder.
    std::error_code ReadError() const { return readError_; }

signals:
    void Click();
    void PathChange();

protected:
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void updateGeometries() override;

private:
    QListWidgetItem* Highlighted() const;
    void HighlightChanged();
    // Scrolls the highlighted line into view, or once it is laid out.
    void ScrollToHighlighted();

    QString path_;
    std::vector<std::filesystem::path> names_; // line k's name as the system gave it
    std::error_code readError_;
    QListWidgetItem* highlighted_ = nullptr; // the file last announced by Click
    bool pressChangedHighlight_ = false;
    bool refreshing_ = false;
    bool scrollPending_ = false;
};
