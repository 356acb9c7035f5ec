#include "winutil/modBrowseForFolder.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace modBrowseForFolder {

namespace {

Handler& CurrentHandler() {
    static Handler handler;
    return handler;
}

ShowHandler& CurrentShowHandler() {
    static ShowHandler handler;
    return handler;
}

// A folder dialog that also accepts a typed path that names nothing yet. The dialog's own
// check would refuse it ("Directory not found") and grey out its accept button.
class NewFolderDialog : public QFileDialog {
public:
    NewFolderDialog(QWidget* owner, const QString& title, const QString& folder)
        : QFileDialog(owner, title, folder) {
        setFileMode(QFileDialog::Directory);
        setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (edit && buttons)
            // Runs after the dialog's own update of the button, which is connected first.
            connect(edit, &QLineEdit::textChanged, this, [this, buttons](const QString& text) {
                if (QPushButton* accept = buttons->button(QDialogButtonBox::Open);
                    accept && !text.isEmpty() && IsNew(Chosen()))
                    accept->setEnabled(true);
            });
    }

    QString Chosen() const { return selectedFiles().value(0); }

    void accept() override {
        if (IsNew(Chosen()))
            QDialog::accept();
        else
            QFileDialog::accept();
    }

private:
    static bool IsNew(const QString& path) { return !path.isEmpty() && !QFileInfo::exists(path); }
};

} // namespace

std::unique_ptr<QFileDialog> MakeDialog(const QString& InitialFolder, QWidget* Owner,
                                        const QString& Title) {
    auto dialog = std::make_unique<QFileDialog>(Owner, Title, InitialFolder);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    return dialog;
}

QString ShowDialog(QFileDialog& dialog) {
    const ShowHandler& show = CurrentShowHandler();
    if ((show ? show(dialog) : dialog.exec()) != QDialog::Accepted)
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().value(0));
}

QString BrowseForOutputFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title) {
    if (const Handler& handler = CurrentHandler())
        return handler(InitialFolder, Owner, Title);
    NewFolderDialog dialog(Owner, Title, InitialFolder);
    return ShowDialog(dialog);
}

QString BrowseForFolder(const QString& InitialFolder, QWidget* Owner, const QString& Title) {
    if (const Handler& handler = CurrentHandler())
        return handler(InitialFolder, Owner, Title);
    const std::unique_ptr<QFileDialog> dialog = MakeDialog(InitialFolder, Owner, Title);
    return ShowDialog(*dialog);
}

void SetHandler(Handler handler) {
    CurrentHandler() = std::move(handler);
}

void SetShowHandler(ShowHandler handler) {
    CurrentShowHandler() = std::move(handler);
}

} // namespace modBrowseForFolder
