#include "ui/main/FileListBox.h"

#include <QDir>
#include <QKeyEvent>

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, &FileListBox::Click);
}

void FileListBox::SetPath(const QString& path) {
    if (path == path_)
        return;
    path_ = path;
    Refresh();
    emit PathChange();
}

QString FileListBox::FileName() const {
    const QListWidgetItem* item = currentItem();
    return item ? item->text() : QString();
}

void FileListBox::Refresh() {
    clear();
    if (path_.isEmpty())
        return;
    // Hidden and system files are left out, as the folder's own listing would.
    addItems(QDir(path_).entryList(QDir::Files, QDir::Name));
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        emit Click();
}
