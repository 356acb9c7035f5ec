#include "ui/main/EntryListBox.h"

#include "ui/FocusCues.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <string_view>
#include <utility>

namespace {

// An event of the left button alone, or of no button held.
bool LeftButtonOnly(const QMouseEvent& event) {
    return event.button() <= Qt::LeftButton &&
           (event.buttons() | Qt::LeftButton) == Qt::MouseButtons(Qt::LeftButton);
}

} // namespace

EntryListBox::EntryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSortingEnabled(false); // line k is record k of the archive
    setUniformItemSizes(true);
    // Dragging from a selected line keeps the selection: the list then toggles a line on the
    // release rather than on the press.
    setDragEnabled(true);
    focuscues::ShowFocusFrame(this);
    focuscues::KeepFrameVisible(this);

    // The mouse asks for the menu over its line; the keyboard over the current line.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        emit MenuRequested(viewport()->mapToGlobal(at), indexAt(at).row());
    });
    auto* keyboard = new QAction(this);
    keyboard->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    keyboard->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(keyboard);
    connect(keyboard, &QAction::triggered, this, [this] {
        const QRect line = visualRect(currentIndex());
        const QPoint at = line.isValid() ? line.bottomLeft() : QPoint(0, 0);
        emit MenuRequested(viewport()->mapToGlobal(at), currentRow());
    });

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.row() == firstPress_.Row)
            selectionModel()->select(index, firstPress_.Selected ? QItemSelectionModel::Select
                                                                 : QItemSelectionModel::Deselect);
        emit Open(index.row());
    });
}

void EntryListBox::ShowListing(const std::filesystem::path& archive, archive::EntryList records) {
    QStringList names;
    names.reserve(qsizetype(records.size()));
    for (std::size_t k = 0; k < records.size(); ++k) {
        const std::string_view name = records.Name(k);
        names.append(QString::fromLocal8Bit(name.data(), qsizetype(name.size())));
    }
    clear();
    addItems(names);
    archive_ = archive;
    records_ = std::move(records);
}

void EntryListBox::ClearListing() {
    clear();
    archive_.clear();
    records_ = {};
}

QString EntryListBox::ShownName(int k) const {
    const QListWidgetItem* line = item(k);
    return line ? line->text() : QString();
}

std::vector<int> EntryListBox::SelectedPositions() const {
    // The selection is read once, as ranges, rather than line by line. Ranges may come in any
    // order and overlap, so each line is marked and the marks read in order: linear time.
    std::vector<char> marked(std::size_t(count()), 0);
    std::size_t selected = 0;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            char& mark = marked[std::size_t(row)];
            selected += mark == 0;
            mark = 1;
        }
    std::vector<int> positions;
    positions.reserve(selected);
    for (std::size_t row = 0; row < marked.size(); ++row)
        if (marked[row])
            positions.push_back(int(row));
    return positions;
}

bool EntryListBox::HasSelection() const {
    return selectionModel()->hasSelection();
}

void EntryListBox::SelectAll() {
    // One range for every line: selecting line by line costs time quadratic in the count.
    selectAll();
}

ExtractionRequest EntryListBox::Extraction(std::vector<int> positions) const {
    ExtractionRequest request;
    request.Archive = archive_;
    request.ListCount = EntryCount();
    request.ListedNames.reserve(positions.size());
    for (const int k : positions)
        request.ListedNames.emplace_back(
            std::size_t(k) < records_.size() ? records_.Name(std::size_t(k)) : std::string_view());
    request.Positions = std::move(positions);
    return request;
}

bool EntryListBox::viewportEvent(QEvent* event) {
    // Seen before the list itself takes the event (a press before it toggles the line).
    switch (event->type()) {
    case QEvent::ToolTip:
        ShowToolTip(*static_cast<const QHelpEvent*>(event));
        return true;
    case QEvent::MouseButtonPress:
        NotePress(*static_cast<const QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        if (LeftButtonOnly(*static_cast<const QMouseEvent*>(event)))
            dragPress_.Row = -1;
        break;
    case QEvent::MouseMove:
        if (DragMove(*static_cast<const QMouseEvent*>(event)))
            return true;
        break;
    default:
        break;
    }
    return QListWidget::viewportEvent(event);
}

void EntryListBox::ShowToolTip(const QHelpEvent& event) {
    // From the records kept with the listing: hovering reads nothing from the archive.
    const QModelIndex index = indexAt(event.pos());
    const std::size_t row = std::size_t(index.row());
    if (!index.isValid() || row >= records_.size()) {
        QToolTip::hideText();
        return;
    }
    const archive::ArchiveEntry entry = records_[row];
    QToolTip::showText(event.globalPos(),
                       QStringLiteral("offset %1, size %2 bytes").arg(entry.Offset).arg(entry.Size),
                       viewport(), visualRect(index));
}

void EntryListBox::NotePress(const QMouseEvent& press) {
    const QPoint at = press.position().toPoint();
    const QModelIndex index = indexAt(at);
    const Press now{at, index.row(), index.isValid() && selectionModel()->isSelected(index)};
    // Any button's press may be the first of a double-click; the second keeps the first's.
    const bool second = now.Row == firstPress_.Row && sincePress_.isValid() &&
                        sincePress_.elapsed() <= QApplication::doubleClickInterval();
    if (!second)
        firstPress_ = now;
    sincePress_.start();
    if (LeftButtonOnly(press))
        dragPress_ = now;
}

bool EntryListBox::DragMove(const QMouseEvent& move) {
    if (!LeftButtonOnly(move) || !(move.buttons() & Qt::LeftButton) || dragPress_.Row < 0)
        return false;
    // The list neither selects by dragging nor starts a drag of its own.
    if ((move.position().toPoint() - dragPress_.At).manhattanLength() <
        QApplication::startDragDistance())
        return true;
    // The selected lines, or the line pressed alone when it was not selected; the press
    // leaves the selection as it was.
    std::vector<int> positions{dragPress_.Row};
    if (dragPress_.Selected)
        positions = SelectedPositions();
    else
        selectionModel()->select(model()->index(dragPress_.Row, 0), QItemSelectionModel::Deselect);
    dragPress_.Row = -1;
    // The list's press ends away from any line, so that it toggles nothing.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-1, -1), QPointF(-1, -1),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport(), &release);
    emit Drag(positions);
    return true;
}

void EntryListBox::keyPressEvent(QKeyEvent* event) {
    // Typing moves the current line to the next name that starts with the letters typed (Qt's
    // keyboard search), which in this selection mode would toggle the line too: the search
    // runs with selecting turned off.
    const QString text = event->text();
    const bool typed = !text.isEmpty() && text.at(0).isPrint() && text.at(0) != u' ' &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!typed) {
        QListWidget::keyPressEvent(event);
        return;
    }
    setSelectionMode(QAbstractItemView::NoSelection);
    keyboardSearch(text);
    setSelectionMode(QAbstractItemView::MultiSelection);
}
