#pragma once

#include <QListWidget>
#include <QString>

// The main window's file list: the ordinary, non-hidden files of one folder, sorted by name.
// Path is the folder exactly as it was set; FileName is the selected file's name without
// the folder. Click is raised when a file is clicked or chosen with the keyboard,
// PathChange when Path takes a different value.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString Path() const { return path_; }
    void SetPath(const QString& path);
    QString FileName() const;

    // Lists the folder again (files may have come or gone since).
    void Refresh();

signals:
    void Click();
    void PathChange();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
};
