#include "ui/main/EntryMenu.h"

#include "ui/main/EntryTransfer.h"
#include "ui/main/frm.h"
#include "ui/main/frmView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace {

constexpr int NoMouseRow = -2;

QAction* AddAction(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

EntryMenu::EntryMenu(frm* window) : QObject(window), window_(window), list_(window->lstFiles) {
    QListWidget* list = window->lstFiles;
    Menu = new QMenu(list);
    Menu->setObjectName(QStringLiteral("mnuEntry"));
    mnuEntryView = AddAction(Menu, "mnuEntryView", QStringLiteral("&View"));
    mnuEntryView->setShortcut(Qt::Key_F3);
    mnuEntryOpen = AddAction(Menu, "mnuEntryOpen", QStringLiteral("&Open"));
    mnuEntryExtract = AddAction(Menu, "mnuEntryExtract", QStringLiteral("E&xtract..."));
    mnuEntryCopyNames = AddAction(Menu, "mnuEntryCopyNames", QStringLiteral("&Copy Names"));
    Menu->addSeparator();
    mnuEntryReplace = AddAction(Menu, "mnuEntryReplace", QStringLiteral("&Replace..."));
    mnuEntryAdd = AddAction(Menu, "mnuEntryAdd", QStringLiteral("&Add Files..."));
    mnuEntryRemove = AddAction(Menu, "mnuEntryRemove", QStringLiteral("Re&move"));
    // F3 works from the list as well as in the menu.
    mnuEntryView->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list->addAction(mnuEntryView);

    connect(mnuEntryView, &QAction::triggered, this, [this] {
        if (const int row = Target(); row >= 0)
            emit View(row);
    });
    connect(mnuEntryOpen, &QAction::triggered, this, [this] {
        if (const int row = Target(); row >= 0)
            emit Open(row);
    });
    connect(mnuEntryExtract, &QAction::triggered, window->cmdExtract, &QPushButton::click);
    connect(mnuEntryCopyNames, &QAction::triggered, this, &EntryMenu::CopyNames);

    // The mouse opens the menu over its line; the keyboard over the current line.
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
        Popup(list->viewport()->mapToGlobal(at), list->indexAt(at).row());
    });
    auto* keyboard = new QAction(list);
    keyboard->setShortcuts({QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    keyboard->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    list->addAction(keyboard);
    connect(keyboard, &QAction::triggered, this, [this, list] {
        const QRect line = list->visualRect(list->currentIndex());
        const QPoint at = line.isValid() ? line.bottomLeft() : QPoint(0, 0);
        Popup(list->viewport()->mapToGlobal(at), NoMouseRow);
    });

    connect(list, &QAbstractItemView::doubleClicked, this, [this, list](const QModelIndex& index) {
        if (index.row() == pressRow_)
            list->selectionModel()->select(index, pressSelected_ ? QItemSelectionModel::Select
                                                                 : QItemSelectionModel::Deselect);
        emit Open(index.row());
    });
    connect(this, &EntryMenu::View, this, &EntryMenu::ShowViewer);
    auto* transfer = new EntryTransfer(window);
    connect(this, &EntryMenu::Open, transfer, &EntryTransfer::Open);
    list->viewport()->installEventFilter(this);
    list->installEventFilter(this); // type-ahead
}

bool EntryMenu::eventFilter(QObject* watched, QEvent* event) {
    // The list is not reached through the window, which may be in its destructor already.
    QListWidget* list = list_;
    // Typing moves the current line to the next name that starts with the letters typed (Qt's
    // keyboard search), which in a list of this selection mode would toggle the line too: the
    // search runs with selecting turned off.
    if (watched == list && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint() && text.at(0) != u' ' &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (!typed)
            return false;
        list->setSelectionMode(QAbstractItemView::NoSelection);
        list->keyboardSearch(text);
        list->setSelectionMode(QAbstractItemView::MultiSelection);
        return true;
    }
    // The line's selection before the first press of a double-click, before the list toggles it.
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        const QModelIndex index = list->indexAt(press->position().toPoint());
        const bool second = index.row() == pressRow_ && sincePress_.isValid() &&
                            sincePress_.elapsed() <= QApplication::doubleClickInterval();
        if (!second) {
            pressRow_ = index.row();
            pressSelected_ = index.isValid() && list->selectionModel()->isSelected(index);
        }
        sincePress_.start();
    }
    return QObject::eventFilter(watched, event);
}

int EntryMenu::Target() const {
    return mouseRow_ != NoMouseRow ? mouseRow_ : window_->lstFiles->currentRow();
}

void EntryMenu::Popup(const QPoint& at, int row) {
    mouseRow_ = row;
    const bool onEntry = Target() >= 0;
    mnuEntryView->setEnabled(onEntry);
    mnuEntryOpen->setEnabled(onEntry);
    mnuEntryExtract->setEnabled(window_->cmdExtract->isEnabled());
    const bool selected = !window_->SelectedPositions().empty();
    mnuEntryCopyNames->setEnabled(selected);
    mnuEntryReplace->setEnabled(onEntry);
    mnuEntryAdd->setEnabled(window_->cmdExtract->isEnabled());
    mnuEntryRemove->setEnabled(onEntry || selected);
    Menu->exec(at);
    mouseRow_ = NoMouseRow;
    for (QAction* action : Menu->actions())
        action->setEnabled(true);
}

void EntryMenu::ShowViewer(int row) {
    const std::size_t k = std::size_t(row);
    if (k >= window_->Listing().size())
        return;
    auto* view =
        new frmView(window_, window_->ListedArchive(), row, std::string(window_->Listing().Name(k)),
                    window_->lstFiles->item(row)->text());
    view->show();
    view->activateWindow();
}

void EntryMenu::CopyNames() {
    QStringList names;
    for (const int row : window_->SelectedPositions())
        names << window_->lstFiles->item(row)->text();
    if (!names.isEmpty())
        QApplication::clipboard()->setText(names.join(QLatin1Char('\n')));
}
