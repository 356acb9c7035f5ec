#pragma once

#include <QString>

#include <functional>

// The program's one way of showing a message box.
namespace modMsgBox {

// Shows a modal message box; Buttons is the classic message-box style value:
// 0 OK only, plus 16 critical, 48 exclamation or 64 information icon. Returns the button pressed (1
// = OK).
int MsgBox(const QString& Prompt, int Buttons, const QString& Title);

// Replaces how message boxes are shown (tests record them); an empty handler restores the real
// QMessageBox.
using Handler = std::function<int(const QString& Prompt, int Buttons, const QString& Title)>;
void SetHandler(Handler handler);

} // namespace modMsgBox
