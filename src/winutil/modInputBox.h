#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// A line of text asked for in a modal dialog over an owner window.
namespace modInputBox {

// Asks with Prompt above a line holding Default (selected), titled Title: the text as the user
// left it, or nothing when the user cancels.
std::optional<QString> InputBox(const QString& Prompt, const QString& Title, const QString& Default,
                                QWidget* Owner);

// Replaces the dialog (tests answer it); an empty handler restores the real one.
using Handler = std::function<std::optional<QString>(const QString& Prompt, const QString& Title,
                                                     const QString& Default)>;
void SetHandler(Handler handler);

} // namespace modInputBox
