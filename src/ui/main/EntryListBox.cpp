#include "ui/main/EntryListBox.h"

#include "archive/Pattern.h"
#include "ui/FocusCues.h"
#include "ui/main/EntryModel.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionHeader>

#include <algorithm>
#include <utility>

namespace {

// An event of the left button alone, or of no button held.
bool LeftButtonOnly(const QMouseEvent& event) {
    return event.button() <= Qt::LeftButton &&
           (event.buttons() | Qt::LeftButton) == Qt::MouseButtons(Qt::LeftButton);
}

// The list's header, whose sections are measured in the font they are drawn in: Qt's own
// header measures them in bold, which loads a second font as the window starts.
class EntryHeader : public QHeaderView {
public:
    explicit EntryHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    QSize sectionSizeFromContents(int section) const override {
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = section;
        option.text = model()->headerData(section, Qt::Horizontal).toString();
        QSize size = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, {}, this);
        // Room for the sort indicator, as Qt's header leaves it.
        size.rwidth() +=
            size.height() + style()->pixelMetric(QStyle::PM_HeaderMargin, &option, this);
        return size;
    }
};

} // namespace

EntryListBox::EntryListBox(QWidget* parent) : QTreeView(parent), model_(new EntryModel(this)) {
    setHeader(new EntryHeader(this));
    setModel(model_);
    setSelectionMode(QAbstractItemView::MultiSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    // Directory order until a header is clicked; a third click brings it back.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setSortIndicatorClearable(true);
    header()->setSortIndicatorShown(true);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(EntryModel::Name, QHeaderView::Stretch);
    connect(header(), &QHeaderView::sortIndicatorChanged, this, &EntryListBox::Sort);
    // Dragging from a selected line keeps the selection: the list then toggles a line on the
    // release rather than on the press.
    setDragEnabled(true);
    focuscues::ShowFocusFrame(this);
    focuscues::KeepFrameVisible(this);

    // The mouse asks for the menu over its line; the keyboard over the current line.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        emit MenuRequested(viewport()->mapToGlobal(at), model_->Record(indexAt(at).row()));
    });
    auto* keyboard = new QAction(this);
    keyboard->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    keyboard->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(keyboard);
    connect(keyboard, &QAction::triggered, this, [this] {
        const QRect line = visualRect(currentIndex());
        const QPoint at = line.isValid() ? line.bottomLeft() : QPoint(0, 0);
        emit MenuRequested(viewport()->mapToGlobal(at), CurrentPosition());
    });

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.row() == firstPress_.Row)
            selectionModel()->select(index, (firstPress_.Selected ? QItemSelectionModel::Select
                                                                  : QItemSelectionModel::Deselect) |
                                                QItemSelectionModel::Rows);
        emit Open(model_->Record(index.row()));
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &EntryListBox::SelectionChanged);
}

void EntryListBox::ShowListing(const std::filesystem::path& archive, archive::EntryList records) {
    archive_ = archive;
    model_->SetRecords(std::move(records));
    FitColumns();
    emit ListingChanged();
}

void EntryListBox::ClearListing() {
    archive_.clear();
    model_->SetRecords({});
    emit ListingChanged();
}

void EntryListBox::FitColumns() {
    // Size and Offset as wide as the widest value listed (the largest, or a negative one) or
    // their header; Name takes the rest of the width.
    std::int32_t least[2] = {0, 0}, most[2] = {0, 0};
    for (const archive::ArchiveEntry entry : Listing()) {
        least[0] = std::min(least[0], entry.Size);
        most[0] = std::max(most[0], entry.Size);
        least[1] = std::min(least[1], entry.Offset);
        most[1] = std::max(most[1], entry.Offset);
    }
    // Measured as the view draws a line's text, with the style's margins.
    const QLocale locale;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    const auto width = [&](std::int32_t value) {
        option.text = locale.toString(qint64(value));
        return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width();
    };
    for (const int k : {0, 1}) {
        const int column = k == 0 ? EntryModel::Size : EntryModel::Offset;
        header()->resizeSection(
            column, std::max({header()->sectionSizeHint(column), width(least[k]), width(most[k])}));
    }
}

const archive::EntryList& EntryListBox::Listing() const {
    return model_->Records();
}

QString EntryListBox::ShownName(int k) const {
    return model_->ShownName(k);
}

int EntryListBox::CurrentPosition() const {
    return model_->Record(currentIndex().row());
}

void EntryListBox::SetCurrentPosition(int k) {
    selectionModel()->setCurrentIndex(model_->index(model_->Row(k), 0),
                                      QItemSelectionModel::NoUpdate);
}

QRect EntryListBox::LineRect(int k) const {
    const int row = model_->Row(k);
    if (row < 0)
        return {};
    return visualRect(model_->index(row, 0)) |
           visualRect(model_->index(row, EntryModel::ColumnCount - 1));
}

std::vector<int> EntryListBox::SelectedPositions() const {
    // The selection is read once, as ranges, rather than line by line. Ranges may come in any
    // order and overlap, so each record is marked and the marks read in order: linear time.
    std::vector<char> marked(Listing().size(), 0);
    std::size_t selected = 0;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            char& mark = marked[std::size_t(model_->Record(row))];
            selected += mark == 0;
            mark = 1;
        }
    std::vector<int> positions;
    positions.reserve(selected);
    for (std::size_t k = 0; k < marked.size(); ++k)
        if (marked[k])
            positions.push_back(int(k));
    return positions;
}

bool EntryListBox::HasSelection() const {
    return selectionModel()->hasSelection();
}

void EntryListBox::SelectAll() {
    // One range for every line: selecting line by line costs time quadratic in the count.
    selectAll();
}

int EntryListBox::SelectMatching(std::string_view pattern, bool foldCase) {
    // The lines to select, marked by row: those selected now and the matches.
    const archive::EntryList& records = Listing();
    std::vector<char> marked(records.size(), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection())
        std::fill(marked.begin() + range.top(), marked.begin() + range.bottom() + 1, 1);
    int matches = 0;
    for (std::size_t k = 0; k < records.size(); ++k)
        if (archive::MatchesPattern(pattern, records.Name(k), foldCase)) {
            marked[std::size_t(model_->Row(int(k)))] = 1;
            ++matches;
        }
    if (matches > 0)
        SelectRows(marked);
    return matches;
}

void EntryListBox::SelectRows(const std::vector<char>& marked) {
    // One range per run of rows, into a selection model cleared first: its comparison of old
    // ranges with new ones costs their product.
    QItemSelection lines;
    for (std::size_t row = 0; row < marked.size();) {
        if (!marked[row]) {
            ++row;
            continue;
        }
        const std::size_t first = row;
        while (row < marked.size() && marked[row])
            ++row;
        lines.append(QItemSelectionRange(model_->index(int(first), 0),
                                         model_->index(int(row - 1), EntryModel::ColumnCount - 1)));
    }
    selectionModel()->clearSelection();
    if (!lines.isEmpty())
        selectionModel()->select(lines, QItemSelectionModel::Select);
}

void EntryListBox::Sort(int column, Qt::SortOrder order) {
    // The selection goes by records across the sort. Left in the selection model, it would be
    // kept as one persistent index per selected line, moved one by one.
    const std::vector<int> selected = SelectedPositions();
    selectionModel()->clearSelection();
    model_->sort(column, order);
    std::vector<char> marked(Listing().size(), 0);
    for (const int k : selected)
        marked[std::size_t(model_->Row(k))] = 1;
    SelectRows(marked);
}

bool EntryListBox::InDirectoryOrder() const {
    return header()->sortIndicatorSection() < 0 ||
           header()->sortIndicatorSection() >= EntryModel::ColumnCount;
}

void EntryListBox::ShowDirectoryOrder() {
    // As a click on the header does: the view then sorts the model once.
    header()->setSortIndicator(-1, Qt::AscendingOrder);
}

ExtractionRequest EntryListBox::Extraction(std::vector<int> positions) const {
    const archive::EntryList& records = Listing();
    ExtractionRequest request;
    request.Archive = archive_;
    request.ListCount = EntryCount();
    request.ListedNames.reserve(positions.size());
    for (const int k : positions)
        request.ListedNames.emplace_back(
            std::size_t(k) < records.size() ? records.Name(std::size_t(k)) : std::string_view());
    request.Positions = std::move(positions);
    return request;
}

bool EntryListBox::viewportEvent(QEvent* event) {
    // Seen before the list itself takes the event (a press before it toggles the line).
    switch (event->type()) {
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
    return QTreeView::viewportEvent(event);
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
    std::vector<int> positions{model_->Record(dragPress_.Row)};
    if (dragPress_.Selected)
        positions = SelectedPositions();
    else
        selectionModel()->select(model_->index(dragPress_.Row, 0),
                                 QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
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
        QTreeView::keyPressEvent(event);
        return;
    }
    // Qt searches the current column: names are searched whichever column was clicked.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.column() != 0)
        selectionModel()->setCurrentIndex(current.siblingAtColumn(0),
                                          QItemSelectionModel::NoUpdate);
    setSelectionMode(QAbstractItemView::NoSelection);
    keyboardSearch(text);
    setSelectionMode(QAbstractItemView::MultiSelection);
}
