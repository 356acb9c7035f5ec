#include "ui/main/EntryTransfer.h"

#include "archive/Names.h"
#include "ui/PathText.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/ExtractionRun.h"
#include "winutil/modMsgBox.h"
#include "winutil/modOpenFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <fstream>

namespace {

const QString UriListType = QStringLiteral("text/uri-list");

EntryTransfer::DragHandler& DragHandlerSlot() {
    static EntryTransfer::DragHandler handler;
    return handler;
}

// A file's URL that keeps its name's bytes, whatever they are.
QUrl FileUrl(const std::filesystem::path& path) {
#ifdef _WIN32
    return QUrl::fromLocalFile(QString::fromStdWString(path.wstring()));
#else
    return QUrl::fromEncoded("file://" +
                             QByteArray::fromStdString(path.native()).toPercentEncoding("/"));
#endif
}

// The folder for temporary files by the system's rule: TMPDIR when it names a folder, and
// /tmp otherwise (QDir::tempPath gives "" for a TMPDIR that names nothing, which would put the
// program's folder in "/"); on Windows the folder the system names (TMP, TEMP ...).
QString SystemTemporaryFolder() {
#ifdef _WIN32
    return QDir::tempPath();
#else
    const QByteArray named = qgetenv("TMPDIR");
    const QString folder = pathtext::TextFromBytes(named.toStdString());
    return !named.isEmpty() && pathtext::IsFolder(folder) ? folder : QStringLiteral("/tmp");
#endif
}

} // namespace

// The files a drag out of the list offers, extracted when the drop target first asks for them
// (see EntryTransfer). While a target waits, events are processed and the run's progress shows.
// The answer is kept: a target that asks again gets the same files, and none after a failure.
class EntryFiles : public QMimeData {
public:
    EntryFiles(EntryTransfer* transfer, ExtractionRequest request)
        : transfer_(transfer), request_(std::move(request)) {}

    // The files once whole (none after a failure), or their names while the drag goes on.
    void Deliver(const QList<QUrl>& files) { files_ = UriList(files); }
    void Promise(const QList<QUrl>& files) { promised_ = UriList(files); }

    QStringList formats() const override { return {UriListType}; }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override {
        if (format != UriListType)
            return {};
        if (!asked_ && transfer_) {
            asked_ = true;
            transfer_->Start(EntryTransfer::Purpose::Drag, request_, const_cast<EntryFiles*>(this));
        }
        if (!files_ && promised_ && transfer_ && transfer_->dragging_)
            return *promised_;      // the drop waits for the files
        if (!files_ && transfer_) { // also when asked again while the run goes on
            QEventLoop wait;
            connect(transfer_, &EntryTransfer::Delivered, &wait, &QEventLoop::quit);
            connect(transfer_, &QObject::destroyed, &wait, &QEventLoop::quit);
            wait.exec();
        }
        return files_.value_or(QByteArray());
    }

private:
    static QByteArray UriList(const QList<QUrl>& files) {
        QByteArray list;
        for (const QUrl& url : files)
            list += url.toEncoded() + "\r\n";
        return list;
    }

    QPointer<EntryTransfer> transfer_;
    ExtractionRequest request_; // the entries as listed when the drag started
    mutable bool asked_ = false;
    std::optional<QByteArray> files_, promised_;
};

void EntryTransfer::SetDragHandler(DragHandler handler) {
    DragHandlerSlot() = std::move(handler);
}

EntryTransfer::EntryTransfer(EntryListBox* list, QWidget* owner)
    : QObject(owner), list_(list), run_(std::make_unique<ExtractionRun>(owner)) {
    connect(run_.get(), &ExtractionRun::Finished, this, &EntryTransfer::Finished);
}

EntryTransfer::~EntryTransfer() = default;

void EntryTransfer::Open(int row) {
    Start(Purpose::Open, list_->Extraction({row}));
}

void EntryTransfer::Drag(const std::vector<int>& positions) {
    auto* files = new EntryFiles(this, list_->Extraction(positions));
    if (const DragHandler& handler = DragHandlerSlot()) {
        handler(*files);
        delete files;
        return;
    }
    // On the heap, as Qt deletes it once the target has taken the data, which may be after
    // exec returns.
    auto* drag = new QDrag(list_);
    drag->setMimeData(files);
    const QPointer<EntryTransfer> self(this);
    dragging_ = true;
    run_->SetDragging(true);
    drag->exec(Qt::CopyAction);
    if (!self)
        return;
    run_->SetDragging(false);
    dragging_ = false;
    heldRelease_.reset();
    qApp->removeEventFilter(this);
}

bool EntryTransfer::eventFilter(QObject* watched, QEvent* event) {
    if (!dragging_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (heldRelease_) { // a click while the drop is held: on a button, the progress's Cancel
            const QPointF at = static_cast<QMouseEvent*>(event)->globalPosition();
            if (auto* button = qobject_cast<QAbstractButton*>(QApplication::widgetAt(at.toPoint())))
                button->click();
            return true;
        }
        if (run_->IsRunning()) {
            heldRelease_.reset(event->clone());
            releaseTo_ = watched;
            return true;
        }
        dragging_ = false; // the drop goes on, and a target asking now waits for the files
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove: // the drop stays where the button was released
        return heldRelease_ != nullptr;
    case QEvent::KeyPress: // Esc cancels the drag, and with it the run
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            run_->Stop();
        return false;
    default:
        return false;
    }
}

std::optional<EntryTransfer::Stamp> EntryTransfer::StampOf(const std::filesystem::path& file) {
    std::error_code ec;
    Stamp stamp{std::filesystem::file_size(file, ec), {}};
    if (!ec)
        stamp.Modified = std::filesystem::last_write_time(file, ec);
    return ec ? std::nullopt : std::optional(stamp);
}

std::optional<std::filesystem::path> EntryTransfer::Reusable(const CopyKey& key) const {
    const auto found = copies_.find(key);
    if (found == copies_.end() || StampOf(found->second.File) != found->second.Written ||
        StampOf(std::get<0>(key)) != found->second.Archive)
        return std::nullopt;
    return found->second.File;
}

void EntryTransfer::Start(Purpose purpose, const ExtractionRequest& request, EntryFiles* files) {
    if (run_->IsRunning()) {
        if (files) // a target that asks while another run goes on gets nothing
            files->Deliver({});
        return;
    }
    purpose_ = purpose;
    pending_ = files;
    request_ = request;
    reused_.clear();
    ExtractionRequest missing = request;
    missing.Positions.clear();
    missing.ListedNames.clear();
    for (std::size_t k = 0; k < request.Positions.size(); ++k) {
        const int position = request.Positions[k];
        const std::string& name = request.ListedNames[k];
        if (const auto copy = Reusable({request.Archive, position, name})) {
            reused_[position] = *copy;
        } else {
            missing.Positions.push_back(position);
            missing.ListedNames.push_back(name);
        }
    }
    if (missing.Positions.empty()) {
        Finished({});
        return;
    }
    if (!temp_ || !temp_->isValid())
        temp_ = std::make_unique<QTemporaryDir>(SystemTemporaryFolder() +
                                                QStringLiteral("/Quillmarrow-XXXXXX"));
    const QString folder = temp_->filePath(QString::number(++runs_));
    if (!temp_->isValid() || !QDir().mkpath(folder)) {
        // Named with the folder it was to be made in.
        const ClosingMessage m = NothingExtracted(
            pathtext::ShownText(temp_->isValid() ? folder : SystemTemporaryFolder()),
            QStringLiteral("cannot create the folder") +
                (temp_->isValid() ? QString() : QStringLiteral(": ") + temp_->errorString()));
        modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
        Done({});
        return;
    }
    archiveStamp_ = StampOf(request.Archive);
    missing.OutputFolder = pathtext::NativePath(folder);
    placeholders_.clear();
    if (files && dragging_) { // the target chooses while the drag goes on: it gets the names now
        QList<QUrl> promised;
        for (std::size_t k = 0, m = 0; k < request.Positions.size(); ++k) {
            if (const auto reused = reused_.find(request.Positions[k]); reused != reused_.end()) {
                promised << FileUrl(reused->second);
                continue;
            }
            const std::string& name = missing.ListedNames[m++];
            const std::filesystem::path file = missing.OutputFolder / name;
            if (archive::UnsafeName(name) == archive::NameProblem::None &&
                std::ofstream(file, std::ios::binary))
                placeholders_.push_back(file);
            promised << FileUrl(file);
        }
        files->Promise(promised);
        qApp->installEventFilter(this); // after the drag's own filter, so seen before it
    }
    run_->Start(std::move(missing));
}

void EntryTransfer::Finished(const archive::ExtractReport& report) {
    if (run_->ClosesOwner()) { // cancelled for the window to close
        Done({});
        return;
    }
    QList<QUrl> files;
    bool cancelled = false;
    std::size_t next = 0; // the results come in the order of the positions extracted
    for (const int position : request_.Positions) {
        if (const auto reused = reused_.find(position); reused != reused_.end()) {
            files << FileUrl(reused->second);
            continue;
        }
        if (next >= report.Entries.size() || report.Entries[next].Position != position)
            continue;
        const archive::EntryResult& e = report.Entries[next++];
        cancelled = cancelled || e.Result == archive::EntryResult::Kind::Cancelled;
        if (e.Result != archive::EntryResult::Kind::Written)
            continue;
        const std::filesystem::path file = run_->Request().OutputFolder / e.Name;
        if (const auto written = StampOf(file); written && archiveStamp_)
            copies_[{request_.Archive, position, e.Name}] = {file, *written, *archiveStamp_};
        files << FileUrl(file);
    }
    for (const std::filesystem::path& placeholder : std::exchange(placeholders_, {}))
        if (!files.contains(FileUrl(placeholder))) {
            std::error_code ec;
            std::filesystem::remove(placeholder, ec);
        }
    // A drag delivers every file or none.
    Done(cancelled || (purpose_ == Purpose::Drag && !report.AllWritten()) ? QList<QUrl>() : files);
    if (!report.AllWritten()) {
        const ClosingMessage m = ExtractSummary(report, run_->Request());
        modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
    }
}

// Hands the file to the program the system opens it with, saying so when there is none, as the
// About window's links do.
void EntryTransfer::OpenFile(const QString& file) {
    const auto failed = [file] {
        modMsgBox::MsgBox(QStringLiteral("No program could open this file:\n%1")
                              .arg(QDir::toNativeSeparators(file)),
                          modMsgBox::vbExclamation, QStringLiteral("Could not open file"));
    };
    if (!modOpenFolder::OpenFolder(file, this, failed))
        failed();
}

void EntryTransfer::Done(const QList<QUrl>& files) {
    if (purpose_ == Purpose::Open) {
        if (!files.isEmpty())
            OpenFile(files.front().toLocalFile());
        return;
    }
    if (pending_)
        pending_->Deliver(files);
    pending_ = nullptr;
    // A drag still going ends: its drop goes through now, or it is cancelled.
    if (dragging_ && files.isEmpty()) {
        dragging_ = false;
        heldRelease_.reset();
        QDrag::cancel();
    } else if (const std::unique_ptr<QEvent> release = std::move(heldRelease_); release) {
        dragging_ = false;
        if (releaseTo_)
            QCoreApplication::sendEvent(releaseTo_, release.get());
    }
    emit Delivered();
}
