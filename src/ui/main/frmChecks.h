#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// What "Verify Against..." or "Compare With..." found, in a window of its own: the summary
// line, then the lines of the problems or differences, as the command line writes them. Esc
// or Close closes it.
class frmChecks : public QWidget {
    Q_OBJECT

public:
    // `none` is what the list says when there are no lines.
    frmChecks(QWidget* owner, const QString& title, const QString& summary,
              const QStringList& lines, const QString& none);

    QLabel* lblSummary;
    QPlainTextEdit* txtLines;
    QPushButton* cmdClose;
};
