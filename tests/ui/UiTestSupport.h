#pragma once

// What the window tests share: message boxes and folder dialogs answered through their hooks,
// and a main window in a program folder of the test's own.

#include "ui/main/EntryListBox.h"
#include "ui/main/EntryModel.h"
#include "ui/main/FileListBox.h"
#include "ui/main/frm.h"
#include "winutil/modBrowseForFolder.h"
#include "winutil/modMsgBox.h"

#include <QAccessible>
#include <QList>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QStringList>
#include <QTest>

struct RecordedMessage {
    QString Prompt;
    int Buttons = 0;
    QString Title;
    bool operator==(const RecordedMessage&) const = default;
};
Q_DECLARE_METATYPE(RecordedMessage)

// How QCOMPARE shows a message that differs.
inline char* toString(const RecordedMessage& m) {
    return QTest::toString(QString("\"%1\" (buttons %2, title \"%3\")")
                               .arg(m.Prompt, QString::number(m.Buttons), m.Title));
}

struct RecordedBrowse {
    QString InitialFolder;
    QString Title;
};

// Records every message box, answering it with the next queued reply (OK when none is left),
// and every question (answered with Answer), and answers every folder dialog with the next
// queued answer ("" when none is left, as a cancel).
class DialogRecorder {
public:
    DialogRecorder() {
        modMsgBox::SetHandler([this](const QString& prompt, int buttons, const QString& title) {
            Messages.append({prompt, buttons, title});
            return Replies.isEmpty() ? int(modMsgBox::vbOK) : Replies.takeFirst();
        });
        modMsgBox::SetAskHandler(
            [this](const QString& prompt, const QStringList& buttons, const QString& title) {
                Questions.append({prompt, buttons, title});
                return Answer;
            });
        modBrowseForFolder::SetHandler(
            [this](const QString& initial, QWidget*, const QString& title) {
                Browses.append({initial, title});
                return Answers.isEmpty() ? QString() : Answers.takeFirst();
            });
    }
    ~DialogRecorder() {
        modMsgBox::SetHandler({});
        modMsgBox::SetAskHandler(
            [this](const QString& prompt, const QStringList& buttons, const QString& title) {
                Questions.append({prompt, buttons, title});
                return Answer;
            });
        modBrowseForFolder::SetHandler({});
    }
    QList<RecordedMessage> Messages;
    QList<RecordedBrowse> Browses;
    struct Question {
        QString Prompt;
        QStringList Buttons;
        QString Title;
    };
    QList<Question> Questions;
    int Answer = 2; // the last button: Cancel
    QStringList Answers;
    QList<int> Replies;
};

// What a screen reader finds in a window: each object's name and description, by the object
// name of the widget behind it, walking the accessibility tree from the window down.
inline QMap<QString, QStringList> AccessibleTree(QWidget* window) {
    QMap<QString, QStringList> found;
    QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(window)};
    while (!pending.isEmpty()) {
        QAccessibleInterface* node = pending.takeFirst();
        if (!node)
            continue;
        if (const QObject* object = node->object(); object && !object->objectName().isEmpty())
            found[object->objectName()] = {node->text(QAccessible::Name),
                                           node->text(QAccessible::Description)};
        for (int k = 0; k < node->childCount(); ++k)
            pending << node->child(k);
    }
    return found;
}

// Clicks the file of that name in the window's file list, as a user would.
inline bool ClickFile(frm& window, const QString& name) {
    const auto items = window.File->findItems(name, Qt::MatchExactly);
    if (items.isEmpty())
        return false;
    window.File->scrollToItem(items.first());
    QTest::mouseClick(window.File->viewport(), Qt::LeftButton, {},
                      window.File->visualItemRect(items.first()).center());
    return true;
}

// Clicks entry k's line (wherever a sort put it), which toggles its selection.
inline void ClickEntry(frm& window, int k) {
    const auto* model = static_cast<const EntryModel*>(window.lstFiles->model());
    window.lstFiles->scrollTo(model->index(model->Row(k), 0));
    QTest::mouseClick(window.lstFiles->viewport(), Qt::LeftButton, {},
                      window.lstFiles->LineRect(k).center());
}

inline QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

// The entry list's lines from the top, each the text of one column (the name by default).
inline QStringList Lines(const EntryListBox* list, int column = 0) {
    QStringList lines;
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(); ++row)
        lines << model->index(row, column).data().toString();
    return lines;
}

// The positions of the selected entries, ascending.
inline QList<int> SelectedLines(const EntryListBox* list) {
    const std::vector<int> positions = list->SelectedPositions();
    return QList<int>(positions.begin(), positions.end());
}
