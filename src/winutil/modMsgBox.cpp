#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

namespace modMsgBox {

namespace {

Handler& CurrentHandler() {
    static Handler handler;
    return handler;
}

AskHandler& CurrentAskHandler() {
    static AskHandler handler;
    return handler;
}

ShowHandler& CurrentShowHandler() {
    static ShowHandler handler;
    return handler;
}

QMessageBox::Icon IconFor(int Buttons) {
    switch (Buttons & 0xF0) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

struct Button {
    QMessageBox::StandardButton Standard;
    Result Returns;
};

// The buttons of each button set, in the order they are shown; an unknown set is OK alone.
std::vector<Button> ButtonsFor(int Buttons) {
    switch (Buttons & 0x0F) {
    case vbOKCancel:
        return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case vbAbortRetryIgnore:
        return {{QMessageBox::Abort, vbAbort},
                {QMessageBox::Retry, vbRetry},
                {QMessageBox::Ignore, vbIgnore}};
    case vbYesNoCancel:
        return {
            {QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case vbYesNo:
        return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    case vbRetryCancel:
        return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
    default:
        return {{QMessageBox::Ok, vbOK}};
    }
}

// Which Result each standard button stands for, kept on the box for ShowBox.
constexpr char ResultProperty[] = "modMsgBoxResult";

} // namespace

std::unique_ptr<QMessageBox> MakeBox(const QString& Prompt, int Buttons, const QString& Title,
                                     QWidget* Owner) {
    auto box = std::make_unique<QMessageBox>(Owner);
    box->setIcon(IconFor(Buttons));
    box->setWindowTitle(Title);
    box->setTextFormat(Qt::PlainText);
    box->setText(Prompt);
    for (const Button& button : ButtonsFor(Buttons))
        box->addButton(button.Standard)->setProperty(ResultProperty, int(button.Returns));
    box->setWindowModality(Owner ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

namespace {

// The Result of the button that closed the box.
int ResultOf(const QMessageBox& box) {
    const QAbstractButton* clicked = box.clickedButton();
    const QVariant result = clicked ? clicked->property(ResultProperty) : QVariant();
    if (result.isValid())
        return result.toInt();
    // Closed without a button (Escape or the close box): the escape button's result.
    const QAbstractButton* escape = box.escapeButton();
    return escape ? escape->property(ResultProperty).toInt() : int(vbOK);
}

} // namespace

int ShowBox(QMessageBox& box) {
    box.exec();
    return ResultOf(box);
}

QWidget* DefaultOwner() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && qobject_cast<QMainWindow*>(window))
            return window;
    }
    return nullptr;
}

int MsgBox(const QString& Prompt, int Buttons, const QString& Title, QWidget* Owner) {
    if (const Handler& handler = CurrentHandler())
        return handler(Prompt, Buttons, Title);
    const std::unique_ptr<QMessageBox> box =
        MakeBox(Prompt, Buttons, Title, Owner ? Owner : DefaultOwner());
    if (const ShowHandler& show = CurrentShowHandler())
        return show(*box);
    return ShowBox(*box);
}

QMessageBox* MsgBoxLater(const QString& Prompt, int Buttons, const QString& Title, QWidget* Owner,
                         std::function<void(int Answer)> Answered) {
    if (const Handler& handler = CurrentHandler()) {
        Answered(handler(Prompt, Buttons, Title));
        return nullptr;
    }
    std::unique_ptr<QMessageBox> box =
        MakeBox(Prompt, Buttons, Title, Owner ? Owner : DefaultOwner());
    if (const ShowHandler& show = CurrentShowHandler()) {
        Answered(show(*box));
        return nullptr;
    }
    QMessageBox* shown = box.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(shown, &QMessageBox::finished, shown,
                     [shown, Answered = std::move(Answered)] { Answered(ResultOf(*shown)); });
    shown->open();
    return shown;
}

int Ask(const QString& Prompt, const QStringList& Buttons, const QString& Title, QWidget* Owner,
        int Default) {
    if (const AskHandler& handler = CurrentAskHandler())
        return handler(Prompt, Buttons, Title);
    const std::unique_ptr<QMessageBox> box =
        MakeBox(Prompt, vbQuestion, Title, Owner ? Owner : DefaultOwner());
    for (QAbstractButton* button : box->buttons()) { // the style's OK
        box->removeButton(button);
        delete button;
    }
    QList<QAbstractButton*> added;
    for (const QString& caption : Buttons)
        added << box->addButton(caption, added.size() + 1 < Buttons.size()
                                             ? QMessageBox::ActionRole
                                             : QMessageBox::RejectRole);
    if (added.isEmpty())
        return -1;
    box->setDefaultButton(static_cast<QPushButton*>(added.value(Default, added.first())));
    box->setEscapeButton(added.last());
    if (const ShowHandler& show = CurrentShowHandler())
        show(*box);
    else
        box->exec();
    const qsizetype chosen = added.indexOf(box->clickedButton());
    return int(chosen >= 0 ? chosen : added.size() - 1);
}

void SetAskHandler(AskHandler handler) {
    CurrentAskHandler() = std::move(handler);
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

void SetShowHandler(ShowHandler handler) {
    CurrentShowHandler() = std::move(handler);
}

} // namespace modMsgBox
