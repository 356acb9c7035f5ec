#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

// The program's one way of showing a message box.
namespace modMsgBox {

// Message-box styles: one button set plus one icon, added together (vbCritical + vbOKOnly).
enum Style {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64
};

// The buttons a box returns.
enum Result { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// Makes the box without showing it: Prompt as plain text, exactly as given, the icon and the
// buttons of the style Buttons, the title Title, owned by and modal to Owner (centred over it,
// with its window icon) when there is one.
std::unique_ptr<QMessageBox> MakeBox(const QString& Prompt, int Buttons, const QString& Title,
                                     QWidget* Owner);

// Shows a box that MakeBox made until the user closes it; returns the Result of the button.
int ShowBox(QMessageBox& box);

// The owner of a box raised without one: the active window, or else the program's visible
// main window (none is active just after a dialog has closed); null when there is neither.
QWidget* DefaultOwner();

// Makes the box over Owner (DefaultOwner() when null) and shows it; returns the Result.
int MsgBox(const QString& Prompt, int Buttons, const QString& Title, QWidget* Owner = nullptr);

// Shows the box as MsgBox does without waiting for it: Answered gets the Result when the user
// closes the box. Returns the box, which deleting takes away unanswered; null when a handler
// below answered at once.
QMessageBox* MsgBoxLater(const QString& Prompt, int Buttons, const QString& Title, QWidget* Owner,
                         std::function<void(int Answer)> Answered);

// Replaces the whole message box (tests record the call); an empty handler restores it.
using Handler = std::function<int(const QString& Prompt, int Buttons, const QString& Title)>;
void SetHandler(Handler handler);

// Replaces only the showing of the made box (tests look at the box); an empty one restores it.
using ShowHandler = std::function<int(QMessageBox& box)>;
void SetShowHandler(ShowHandler handler);

// A question whose buttons have captions of their own (Buttons, in the order shown; the one at
// Default is the default, the last the one Esc chooses): returns the index of the button
// chosen. The show handler below shows it in tests.
int Ask(const QString& Prompt, const QStringList& Buttons, const QString& Title,
        QWidget* Owner = nullptr, int Default = 0);

// Replaces the whole question (tests answer it); an empty handler restores it.
using AskHandler =
    std::function<int(const QString& Prompt, const QStringList& Buttons, const QString& Title)>;
void SetAskHandler(AskHandler handler);

} // namespace modMsgBox
