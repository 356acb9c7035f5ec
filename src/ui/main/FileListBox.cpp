#include "ui/main/FileListBox.h"

#include "ui/PathText.h"

#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {

namespace fs = std::filesystem;
using pathtext::NativePath;
using pathtext::ShownPath;

// Each line's name as the system gave it: bytes on POSIX, UTF-16 (lossless) on Windows.
constexpr int NameRole = Qt::UserRole;

#ifdef _WIN32
QVariant Native(const fs::path& name) {
    return QString::fromStdWString(name.native());
}
fs::path FromNative(const QVariant& name) {
    return fs::path(name.toString().toStdWString());
}
bool IsHidden(const fs::path& path) {
    return QFileInfo(ShownPath(path)).isHidden();
}
#else
QVariant Native(const fs::path& name) {
    return QByteArray::fromStdString(name.native());
}
fs::path FromNative(const QVariant& name) {
    return fs::path(name.toByteArray().toStdString());
}
bool IsHidden(const fs::path& path) {
    return path.filename().native().starts_with('.');
}
#endif

} // namespace

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, &FileListBox::HighlightChanged);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        // A click on the file that is already highlighted lists it afresh.
        if (!pressChangedHighlight_ && item == highlighted_)
            emit Click();
    });
}

void FileListBox::SetPath(const QString& path) {
    if (path == path_) {
        Refresh();
        return;
    }
    path_ = path;
    refreshing_ = true; // a new folder highlights nothing yet; its files are not announced
    clear();
    highlighted_ = nullptr;
    refreshing_ = false;
    Refresh();
    emit PathChange();
}

QListWidgetItem* FileListBox::Highlighted() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

QString FileListBox::FileName() const {
    const QListWidgetItem* item = Highlighted();
    return item ? item->text() : QString();
}

fs::path FileListBox::FilePath() const {
    const QListWidgetItem* item = Highlighted();
    if (!item)
        return {};
    // Joined as the folder is, without normalising: a root folder gets a second separator.
    fs::path path = NativePath(path_);
    path += fs::path::string_type(1, fs::path::preferred_separator);
    path += FromNative(item->data(NameRole)).native();
    return path;
}

void FileListBox::Refresh() {
    const QVariant kept = highlighted_ ? highlighted_->data(NameRole) : QVariant();
    refreshing_ = true;
    clear();
    highlighted_ = nullptr;

    std::vector<std::pair<QString, fs::path>> files; // shown name, name as given
    std::error_code ec;
    // Asked first, since a path is split into all its parts when it is made: a folder value of
    // millions of parts, which can name no folder, would cost seconds.
    if (!path_.isEmpty() && QFileInfo(path_).isDir())
        for (fs::directory_iterator it(NativePath(path_), ec), end; !ec && it != end;
             it.increment(ec)) {
            // Ordinary files and links to them; hidden files are left out, as the folder's own
            // listing would.
            std::error_code typeError;
            if (!it->is_regular_file(typeError) || IsHidden(it->path()))
                continue;
            const fs::path name = it->path().filename();
            files.emplace_back(ShownPath(name), name);
        }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first);
        return order != 0 ? order < 0 : a.second.native() < b.second.native();
    });
    for (const auto& [shown, name] : files) {
        auto* item = new QListWidgetItem(shown, this);
        item->setData(NameRole, Native(name));
        if (kept.isValid() && !highlighted_ && item->data(NameRole) == kept) {
            setCurrentItem(item);
            highlighted_ = item;
        }
    }
    refreshing_ = false;
    if (kept.isValid() && !highlighted_)
        emit Click(); // the highlighted file is gone: nothing is highlighted now
}

void FileListBox::HighlightChanged() {
    QListWidgetItem* now = Highlighted();
    if (refreshing_ || now == highlighted_)
        return;
    highlighted_ = now;
    pressChangedHighlight_ = true;
    emit Click();
}

bool FileListBox::event(QEvent* event) {
    const bool handled = QListWidget::event(event);
    // The style draws the same frame with or without the focus, and a highlighted line hides
    // the focus rectangle: while the list has the focus its frame is drawn in the highlight
    // colour.
    if (event->type() == QEvent::Paint && hasFocus()) {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    return handled;
}

void FileListBox::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    update(); // the frame
}

void FileListBox::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    update();
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
    pressChangedHighlight_ = false;
    QListWidget::mousePressEvent(event);
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    // A highlighted file stays highlighted until another one is: neither Ctrl+click nor a press
    // beside the lines clears it.
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (!index.isValid() || flags.testFlag(QItemSelectionModel::Deselect))
        return QItemSelectionModel::NoUpdate;
    return flags;
}
