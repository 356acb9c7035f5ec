#include "ui/main/FileListBox.h"

#include "ui/FocusCues.h"
#include "ui/PathText.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using pathtext::NativePath;
using pathtext::ShownPath;

#ifdef _WIN32
bool IsHidden(const fs::path& path) {
    return QFileInfo(ShownPath(path)).isHidden();
}
#else
bool IsHidden(const fs::path& path) {
    return path.filename().native().starts_with('.');
}
#endif

} // namespace

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A folder of many files shows its first lines at once; the rest are laid out while the
    // window goes on (each line's width needs its text laid out).
    setLayoutMode(QListView::Batched);
    setBatchSize(1000);
    focuscues::ShowFocusFrame(this);
    focuscues::KeepFrameVisible(this);
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

bool FileListBox::SetFileName(const fs::path& name) {
    const auto found = std::find_if(names_.begin(), names_.end(),
                                    [&](const fs::path& n) { return n.native() == name.native(); });
    if (found == names_.end())
        return false;
    QListWidgetItem* line = item(int(found - names_.begin()));
    if (line == highlighted_)
        emit Click();
    else
        setCurrentItem(line); // raises Click
    ScrollToHighlighted();
    return true;
}

void FileListBox::ScrollToHighlighted() {
    scrollPending_ = highlighted_ && !visualItemRect(highlighted_).isValid();
    if (highlighted_ && !scrollPending_)
        scrollToItem(highlighted_);
}

void FileListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // Called when the last batch of lines is laid out too: a highlighted line that was not laid
    // out yet is scrolled to now.
    if (scrollPending_)
        ScrollToHighlighted();
}

fs::path FileListBox::FilePath() const {
    const QListWidgetItem* item = Highlighted();
    if (!item)
        return {};
    // Joined as the folder is, without normalising: a root folder gets a second separator.
    fs::path path = NativePath(path_);
    path += fs::path::string_type(1, fs::path::preferred_separator);
    path += names_[std::size_t(row(item))].native();
    return path;
}

void FileListBox::Refresh() {
    const fs::path kept = highlighted_ ? names_[std::size_t(row(highlighted_))] : fs::path();
    refreshing_ = true;
    clear();
    names_.clear();
    highlighted_ = nullptr;
    readError_.clear();

    std::vector<std::pair<QString, fs::path>> files; // shown name, name as given
    // Asked first, since a path is split into all its parts when it is made: a folder value of
    // millions of parts, which can name no folder, would cost seconds.
    if (!path_.isEmpty() && pathtext::IsFolder(path_))
        for (fs::directory_iterator it(NativePath(path_), readError_), end;
             !readError_ && it != end; it.increment(readError_)) {
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
    // All lines in one insertion: line by line, each one costs the list work of its own.
    QStringList shown;
    shown.reserve(qsizetype(files.size()));
    names_.reserve(files.size());
    for (auto& [text, name] : files) {
        shown.append(std::move(text));
        names_.push_back(std::move(name));
    }
    addItems(shown);
    if (!kept.empty())
        for (std::size_t k = 0; k < names_.size(); ++k)
            if (names_[k].native() == kept.native()) {
                highlighted_ = item(int(k));
                setCurrentItem(highlighted_);
                ScrollToHighlighted();
                break;
            }
    refreshing_ = false;
    if (!kept.empty() && !highlighted_)
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

bool FileListBox::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QListWidget::viewportEvent(event);
    // A name too long for the list shows whole in a tooltip, as plain text.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QListWidgetItem* line = itemAt(help->pos());
    const QRect rect = line ? visualItemRect(line) : QRect();
    const int needed = line ? fontMetrics().horizontalAdvance(line->text()) + 6 : 0;
    if (line && rect.x() + needed > viewport()->width())
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("<p style='white-space:pre'>") +
                               line->text().toHtmlEscaped() + QStringLiteral("</p>"),
                           viewport(), rect);
    else
        QToolTip::hideText();
    return true;
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
