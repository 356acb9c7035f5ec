#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QMessageBox>

namespace modMsgBox {

namespace {

Handler& CurrentHandler() {
    static Handler handler;
    return handler;
}

QMessageBox::Icon IconFor(int Buttons) {
    switch (Buttons & 0xF0) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int MsgBox(const QString& Prompt, int Buttons, const QString& Title) {
    if (const Handler& handler = CurrentHandler())
        return handler(Prompt, Buttons, Title);
    QMessageBox box(IconFor(Buttons), Title, Prompt, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    return 1; // OK is the only button
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

} // namespace modMsgBox
