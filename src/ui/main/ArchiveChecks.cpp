#include "ui/main/ArchiveChecks.h"

#include "ui/PathText.h"
#include "ui/main/ChecksumRun.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/frmChecks.h"
#include "winutil/modFileDialog.h"
#include "winutil/modMsgBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

ArchiveChecks::ArchiveChecks(EntryListBox* list, QWidget* owner)
    : QObject(owner), list_(list), owner_(owner), run_(std::make_unique<ChecksumRun>(owner)) {
    mnuFileVerify = new QAction(QStringLiteral("&Verify Against..."), this);
    mnuFileVerify->setObjectName(QStringLiteral("mnuFileVerify"));
    mnuFileCompare = new QAction(QStringLiteral("&Compare With..."), this);
    mnuFileCompare->setObjectName(QStringLiteral("mnuFileCompare"));
    connect(mnuFileVerify, &QAction::triggered, this, &ArchiveChecks::Verify);
    connect(mnuFileCompare, &QAction::triggered, this, &ArchiveChecks::Compare);
    connect(run_.get(), &ChecksumRun::Finished, this, &ArchiveChecks::Finished);
}

ArchiveChecks::~ArchiveChecks() = default;

void ArchiveChecks::AddActions(QMenu* menu, QAction* after) {
    const QList<QAction*> actions = menu->actions();
    const qsizetype at = actions.indexOf(after) + 1;
    QAction* before = at > 0 && at < actions.size() ? actions[at] : nullptr;
    menu->insertActions(before, {mnuFileVerify, mnuFileCompare});
}

bool ArchiveChecks::Listed(const QString& title) const {
    if (!list_->ListedArchive().empty())
        return true;
    modMsgBox::MsgBox(QStringLiteral("No archive is listed. Choose an archive in the file list to "
                                     "list its entries."),
                      modMsgBox::vbExclamation, title, owner_);
    return false;
}

void ArchiveChecks::Verify() {
    if (run_->IsRunning() || !Listed(QStringLiteral("Nothing to verify")))
        return;
    const QString name = pathtext::ShownPath(list_->ListedArchive().filename());
    const QStringList files = modFileDialog::OpenFiles(
        folder_, owner_, QStringLiteral("Verify %1 against a checksum list").arg(name), false);
    if (files.isEmpty())
        return;
    run_->Start({.What = ChecksumRequest::Kind::Verify,
                 .Archive = list_->ListedArchive(),
                 .Other = pathtext::NativePath(files[0])});
}

void ArchiveChecks::Compare() {
    if (run_->IsRunning() || !Listed(QStringLiteral("Nothing to compare")))
        return;
    const QString name = pathtext::ShownPath(list_->ListedArchive().filename());
    const QStringList files = modFileDialog::OpenFiles(
        folder_, owner_, QStringLiteral("Compare %1 with another archive").arg(name), false);
    if (files.isEmpty())
        return;
    run_->Start({.What = ChecksumRequest::Kind::Compare,
                 .Archive = list_->ListedArchive(),
                 .Other = pathtext::NativePath(files[0])});
}

void ArchiveChecks::CopyChecksum(int row) {
    if (run_->IsRunning() || row < 0 || std::size_t(row) >= list_->Listing().size())
        return;
    run_->Start({.What = ChecksumRequest::Kind::EntryChecksum,
                 .Archive = list_->ListedArchive(),
                 .Position = row,
                 .ListedName = std::string(list_->Listing().Name(std::size_t(row)))});
}

void ArchiveChecks::Finished(const ChecksumOutcome& outcome) {
    if (run_->ClosesOwner()) // cancelled for the window to close
        return;
    const ChecksumRequest& request = run_->Request();
    using Kind = ChecksumRequest::Kind;
    const QString what = request.What == Kind::Verify    ? QStringLiteral("verify")
                         : request.What == Kind::Compare ? QStringLiteral("compare")
                                                         : QStringLiteral("copy the checksum");
    if (!outcome.Problem.isEmpty()) {
        modMsgBox::MsgBox(outcome.Problem, modMsgBox::vbExclamation,
                          QStringLiteral("Could not ") + what, owner_);
        return;
    }
    if (request.What == Kind::EntryChecksum) {
        if (!outcome.Cancelled)
            QApplication::clipboard()->setText(outcome.Checksum);
        return;
    }
    const QString name = pathtext::ShownPath(request.Archive.filename());
    const QString title = request.What == Kind::Verify
                              ? QStringLiteral("Verify %1").arg(name)
                              : QStringLiteral("Compare %1 with %2")
                                    .arg(name, pathtext::ShownPath(request.Other.filename()));
    auto* window = new frmChecks(owner_, title,
                                 (outcome.Cancelled ? QStringLiteral("Cancelled. ") : QString()) +
                                     outcome.Summary,
                                 outcome.Lines,
                                 request.What == Kind::Verify ? QStringLiteral("No problems.")
                                                              : QStringLiteral("No differences."));
    window->show();
    window->activateWindow();
}
