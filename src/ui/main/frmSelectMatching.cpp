#include "ui/main/frmSelectMatching.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

frmSelectMatching::Handler& HandlerSlot() {
    static frmSelectMatching::Handler handler;
    return handler;
}

frmSelectMatching::Answer& LastAnswer() {
    static frmSelectMatching::Answer answer{QStringLiteral("*"), false};
    return answer;
}

} // namespace

frmSelectMatching::frmSelectMatching(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmSelectMatching"));
    setWindowTitle(QStringLiteral("Select Matching"));
    txtPattern = new QLineEdit(LastAnswer().Pattern, this);
    txtPattern->setObjectName(QStringLiteral("txtPattern"));
    txtPattern->setAccessibleName(QStringLiteral("Pattern"));
    txtPattern->setAccessibleDescription(
        QStringLiteral("Entries whose names match are added to the selection: * any run of "
                       "characters, ? any one, [...] one of a set"));
    txtPattern->selectAll();
    chkIgnoreCase = new QCheckBox(QStringLiteral("&Ignore case"), this);
    chkIgnoreCase->setObjectName(QStringLiteral("chkIgnoreCase"));
    chkIgnoreCase->setChecked(LastAnswer().IgnoreCase);
    chkIgnoreCase->setAccessibleDescription(
        QStringLiteral("Letters match in upper and lower case alike"));
    auto* label = new QLabel(QStringLiteral("&Pattern:"), this);
    label->setBuddy(txtPattern);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Select"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(label, txtPattern);
    form->addRow(QString(), chkIgnoreCase);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::optional<frmSelectMatching::Answer> frmSelectMatching::Ask(QWidget* owner) {
    std::optional<Answer> answer;
    if (const Handler& handler = HandlerSlot()) {
        answer = handler();
    } else {
        frmSelectMatching dialog(owner);
        if (dialog.exec() == QDialog::Accepted)
            answer = Answer{dialog.txtPattern->text(), dialog.chkIgnoreCase->isChecked()};
    }
    if (answer)
        LastAnswer() = *answer;
    return answer;
}

void frmSelectMatching::SetHandler(Handler handler) {
    HandlerSlot() = std::move(handler);
}
