#include "ui/main/frmChecks.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

frmChecks::frmChecks(QWidget* owner, const QString& title, const QString& summary,
                     const QStringList& lines, const QString& none)
    : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmChecks"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title + QStringLiteral(" - Quillmarrow"));
    if (owner)
        setWindowIcon(owner->windowIcon());

    lblSummary = new QLabel(summary, this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setWordWrap(true);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtLines = new QPlainTextEdit(this);
    txtLines->setObjectName(QStringLiteral("txtLines"));
    txtLines->setReadOnly(true);
    txtLines->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtLines->setPlainText(lines.join(QLatin1Char('\n')));
    txtLines->setPlaceholderText(none);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setDefault(true);

    const struct {
        QWidget* Control;
        const char* Name;
        const char* Description;
    } controls[] = {
        {lblSummary, "Summary", "What was found, counted"},
        {txtLines, "Lines", "Each problem or difference on a line"},
        {cmdClose, "Close", "Closes this window"},
    };
    for (const auto& c : controls) {
        c.Control->setAccessibleName(QString::fromLatin1(c.Name));
        c.Control->setAccessibleDescription(QString::fromLatin1(c.Description));
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(txtLines, 1);
    layout->addLayout(buttons);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
    resize(640, 420);
    if (owner) // over the window it reports on
        move(owner->window()->frameGeometry().center() - rect().center());
    cmdClose->setFocus();
}
