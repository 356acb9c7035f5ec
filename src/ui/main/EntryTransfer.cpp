#include "ui/main/EntryTransfer.h"

#include "ui/PathText.h"
#include "ui/main/EntryListBox.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/ExtractionRun.h"
#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

namespace {

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

void EntryTransfer::SetDragHandler(DragHandler handler) {
    DragHandlerSlot() = std::move(handler);
}

EntryTransfer::EntryTransfer(EntryListBox* list, QWidget* owner)
    : QObject(owner), list_(list), run_(std::make_unique<ExtractionRun>(owner)) {
    connect(run_.get(), &ExtractionRun::Finished, this, &EntryTransfer::Finished);
}

EntryTransfer::~EntryTransfer() = default;

void EntryTransfer::Open(int row) {
    Start(Purpose::Open, {row});
}

void EntryTransfer::Drag(const std::vector<int>& positions) {
    Start(Purpose::Drag, positions);
}

void EntryTransfer::Start(Purpose purpose, std::vector<int> rows) {
    if (run_->IsRunning())
        return;
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
        return;
    }
    purpose_ = purpose;
    ExtractionRequest request = list_->Extraction(std::move(rows));
    request.OutputFolder = pathtext::NativePath(folder);
    run_->Start(std::move(request));
}

void EntryTransfer::Finished(const archive::ExtractReport& report) {
    const ExtractionRequest& request = run_->Request();
    if (purpose_ == Purpose::Drag)
        StartDrag(report);
    else if (report.AllWritten() && !report.Entries.empty())
        QDesktopServices::openUrl(FileUrl(request.OutputFolder / report.Entries.front().Name));
    if (!report.AllWritten()) {
        const ClosingMessage m = ExtractSummary(report, request);
        modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
    }
}

void EntryTransfer::StartDrag(const archive::ExtractReport& report) {
    // The files written whole, unless the run was cancelled; and only while the button that
    // started the drag is still held.
    QList<QUrl> urls;
    for (const archive::EntryResult& e : report.Entries) {
        if (e.Result == archive::EntryResult::Kind::Cancelled)
            return;
        if (e.Result == archive::EntryResult::Kind::Written)
            urls << FileUrl(run_->Request().OutputFolder / e.Name);
    }
    const DragHandler& handler = DragHandlerSlot();
    if (urls.isEmpty() || (!handler && !(QApplication::mouseButtons() & Qt::LeftButton)))
        return;
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    if (handler) {
        handler(*mime);
        delete mime;
        return;
    }
    // On the heap, as Qt deletes it once the target has taken the data, which may be after
    // exec returns.
    auto* drag = new QDrag(list_);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}
