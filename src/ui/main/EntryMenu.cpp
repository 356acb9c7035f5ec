#include "ui/main/EntryMenu.h"

#include "ui/main/EntryListBox.h"
#include "ui/main/frmSelectMatching.h"
#include "ui/main/frmView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

namespace {

QAction* AddAction(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

EntryMenu::EntryMenu(EntryListBox* list) : QObject(list), list_(list) {
    Menu = new QMenu(list);
    Menu->setObjectName(QStringLiteral("mnuEntry"));
    mnuEntryView = AddAction(Menu, "mnuEntryView", QStringLiteral("&View"));
    mnuEntryView->setShortcut(Qt::Key_F3);
    mnuEntryOpen = AddAction(Menu, "mnuEntryOpen", QStringLiteral("&Open"));
    mnuEntryExtract = AddAction(Menu, "mnuEntryExtract", QStringLiteral("E&xtract..."));
    mnuEntryCopyNames = AddAction(Menu, "mnuEntryCopyNames", QStringLiteral("&Copy Names"));
    mnuEntryCopyChecksum =
        AddAction(Menu, "mnuEntryCopyChecksum", QStringLiteral("Copy C&hecksum"));
    Menu->addSeparator();
    mnuEntryReplace = AddAction(Menu, "mnuEntryReplace", QStringLiteral("&Replace..."));
    mnuEntryAdd = AddAction(Menu, "mnuEntryAdd", QStringLiteral("&Add Files..."));
    mnuEntryRename = AddAction(Menu, "mnuEntryRename", QStringLiteral("Re&name..."));
    mnuEntryRename->setShortcut(Qt::Key_F2);
    mnuEntryRemove = AddAction(Menu, "mnuEntryRemove", QStringLiteral("Re&move"));
    mnuEntryRemove->setShortcut(QKeySequence::Delete);
    Menu->addSeparator();
    mnuEntrySelectMatching =
        AddAction(Menu, "mnuEntrySelectMatching", QStringLiteral("&Select Matching..."));
    mnuEntrySelectNone = AddAction(Menu, "mnuEntrySelectNone", QStringLiteral("Select Non&e"));
    mnuEntryDirectoryOrder =
        AddAction(Menu, "mnuEntryDirectoryOrder", QStringLiteral("&Directory Order"));
    // The keys work from the list as well as in the menu.
    for (QAction* action : {mnuEntryView, mnuEntryRename, mnuEntryRemove}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        list->addAction(action);
    }

    connect(mnuEntryView, &QAction::triggered, this, [this] {
        if (const int row = Target(); row >= 0)
            emit View(row);
    });
    connect(mnuEntryOpen, &QAction::triggered, this, [this] {
        if (const int row = Target(); row >= 0)
            emit Open(row);
    });
    connect(mnuEntryCopyNames, &QAction::triggered, this, &EntryMenu::CopyNames);
    connect(mnuEntryCopyChecksum, &QAction::triggered, this, [this] {
        if (const int row = Target(); row >= 0)
            emit CopyChecksum(row);
    });
    connect(mnuEntryReplace, &QAction::triggered, this, [this] { emit Replace(Target()); });
    connect(mnuEntryRename, &QAction::triggered, this, [this] { emit Rename(Target()); });
    connect(mnuEntryRemove, &QAction::triggered, this, [this] {
        std::vector<int> positions = list_->SelectedPositions();
        if (positions.empty() && Target() >= 0)
            positions.push_back(Target());
        emit Remove(positions);
    });
    connect(mnuEntrySelectMatching, &QAction::triggered, this, &EntryMenu::SelectMatching);
    connect(mnuEntrySelectNone, &QAction::triggered, list, &QAbstractItemView::clearSelection);
    connect(mnuEntryDirectoryOrder, &QAction::triggered, list, &EntryListBox::ShowDirectoryOrder);
    connect(this, &EntryMenu::View, this, &EntryMenu::ShowViewer);
}

int EntryMenu::Target() const {
    return shown_ ? row_ : list_->CurrentPosition();
}

void EntryMenu::Popup(const QPoint& at, int row, bool listingActive) {
    shown_ = true;
    row_ = row;
    const bool onEntry = row >= 0;
    const bool selected = list_->HasSelection();
    mnuEntryView->setEnabled(onEntry);
    mnuEntryOpen->setEnabled(onEntry);
    mnuEntryExtract->setEnabled(listingActive);
    mnuEntryCopyNames->setEnabled(selected);
    mnuEntryCopyChecksum->setEnabled(onEntry);
    mnuEntryReplace->setEnabled(listingActive && onEntry);
    mnuEntryAdd->setEnabled(listingActive);
    mnuEntryRename->setEnabled(listingActive && onEntry);
    mnuEntryRemove->setEnabled(listingActive && (onEntry || selected));
    mnuEntrySelectMatching->setEnabled(list_->EntryCount() > 0);
    mnuEntrySelectNone->setEnabled(selected);
    mnuEntryDirectoryOrder->setEnabled(!list_->InDirectoryOrder());
    Menu->exec(at);
    shown_ = false;
    for (QAction* action : Menu->actions())
        action->setEnabled(true);
}

void EntryMenu::ShowViewer(int row) {
    const std::size_t k = std::size_t(row);
    if (k >= list_->Listing().size())
        return;
    auto* view = new frmView(list_->window(), list_->ListedArchive(), row,
                             std::string(list_->Listing().Name(k)), list_->ShownName(row));
    view->show();
    view->activateWindow();
}

void EntryMenu::CopyNames() {
    QStringList names;
    for (const int row : list_->SelectedPositions())
        names << list_->ShownName(row);
    if (!names.isEmpty())
        QApplication::clipboard()->setText(names.join(QLatin1Char('\n')));
}

void EntryMenu::SelectMatching() {
    const std::optional<frmSelectMatching::Answer> answer = frmSelectMatching::Ask(list_->window());
    if (!answer)
        return;
    // Patterns are bytes, as names are: the text in the code page names are shown in.
    const QByteArray pattern = answer->Pattern.toLocal8Bit();
    const int matches = list_->SelectMatching(pattern.toStdString(), answer->IgnoreCase);
    emit Noted(matches == 0 ? QStringLiteral("No entry matches %1").arg(answer->Pattern)
               : matches == 1
                   ? QStringLiteral("1 entry matches %1").arg(answer->Pattern)
                   : QStringLiteral("%1 entries match %2").arg(matches).arg(answer->Pattern));
}
