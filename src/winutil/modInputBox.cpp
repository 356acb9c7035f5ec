#include "winutil/modInputBox.h"

#include <QInputDialog>

namespace modInputBox {

namespace {

Handler& CurrentHandler() {
    static Handler handler;
    return handler;
}

} // namespace

std::optional<QString> InputBox(const QString& Prompt, const QString& Title, const QString& Default,
                                QWidget* Owner) {
    if (const Handler& handler = CurrentHandler())
        return handler(Prompt, Title, Default);
    bool ok = false;
    const QString text =
        QInputDialog::getText(Owner, Title, Prompt, QLineEdit::Normal, Default, &ok);
    return ok ? std::optional<QString>(text) : std::nullopt;
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

} // namespace modInputBox
