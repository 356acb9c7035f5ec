#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;

// "Select Matching": a pattern for entry names by the command line's rules (`*`, `?`, `[...]`,
// a backslash for a literal) and whether to ignore case, as -i does. The dialog opens with
// the last answer given.
class frmSelectMatching : public QDialog {
    Q_OBJECT

public:
    struct Answer {
        QString Pattern;
        bool IgnoreCase = false;
    };

    explicit frmSelectMatching(QWidget* owner);

    QLineEdit* txtPattern;
    QCheckBox* chkIgnoreCase;

    // Asks over the owner: the answer, or nothing when the user cancels.
    static std::optional<Answer> Ask(QWidget* owner);
    // Replaces the dialog (tests answer it); an empty handler restores it.
    using Handler = std::function<std::optional<Answer>()>;
    static void SetHandler(Handler handler);
};
