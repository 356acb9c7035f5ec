#include "ui/main/EntryTransfer.h"

#include "ui/PathText.h"
#include "ui/main/ExtractSummary.h"
#include "ui/main/ExtractionRun.h"
#include "ui/main/frm.h"
#include "winutil/modMsgBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDrag>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
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

} // namespace

void EntryTransfer::SetDragHandler(DragHandler handler) {
    DragHandlerSlot() = std::move(handler);
}

EntryTransfer::EntryTransfer(frm* window)
    : QObject(window), window_(window), list_(window->lstFiles),
      run_(std::make_unique<ExtractionRun>(window)) {
    connect(run_.get(), &ExtractionRun::Finished, this, &EntryTransfer::Finished);
    // Dragging from a selected line keeps the selection: the list then toggles a line on the
    // release rather than on the press.
    window->lstFiles->setDragEnabled(true);
    window->lstFiles->viewport()->installEventFilter(this);
}

EntryTransfer::~EntryTransfer() = default;

void EntryTransfer::Open(int row) {
    Start(Purpose::Open, {row});
}

void EntryTransfer::Start(Purpose purpose, std::vector<int> rows) {
    if (run_->IsRunning())
        return;
    if (!temp_)
        temp_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/Quillmarrow-XXXXXX"));
    const QString folder = temp_->filePath(QString::number(++runs_));
    if (!temp_->isValid() || !QDir().mkpath(folder)) {
        const ClosingMessage m = NothingExtracted(temp_->isValid() ? folder : QDir::tempPath(),
                                                  QStringLiteral("cannot create the folder"));
        modMsgBox::MsgBox(m.Prompt, m.Style, m.Title);
        return;
    }
    purpose_ = purpose;
    ExtractionRequest request;
    request.Archive = window_->ListedArchive();
    request.OutputFolder = pathtext::NativePath(folder);
    request.ListCount = window_->lstFiles->count();
    const archive::EntryList& listing = window_->Listing();
    for (const int row : rows) {
        request.Positions.push_back(row);
        request.ListedNames.emplace_back(std::size_t(row) < listing.size()
                                             ? listing.Name(std::size_t(row))
                                             : std::string_view());
    }
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
    auto* drag = new QDrag(window_->lstFiles);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

bool EntryTransfer::eventFilter(QObject* watched, QEvent* event) {
    // The list is not reached through the window, which may be in its destructor already.
    QListWidget* list = list_;
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse || mouse->button() > Qt::LeftButton || mouse->buttons() > Qt::LeftButton)
        return QObject::eventFilter(watched, event);
    const QPoint at = mouse->position().toPoint();
    if (event->type() == QEvent::MouseButtonPress) {
        // Seen before the list toggles the line.
        const QModelIndex index = list->indexAt(at);
        pressAt_ = at;
        pressRow_ = index.row();
        pressSelected_ = index.isValid() && list->selectionModel()->isSelected(index);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        pressRow_ = -1;
    } else if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton) &&
               pressRow_ >= 0) {
        // The list neither selects by dragging nor starts a drag of its own.
        if ((at - pressAt_).manhattanLength() < QApplication::startDragDistance())
            return true;
        // The selected lines, or the line pressed alone when it was not selected; the press
        // leaves the selection as it was.
        std::vector<int> rows{pressRow_};
        if (pressSelected_)
            rows = window_->SelectedPositions();
        else
            list->selectionModel()->select(list->model()->index(pressRow_, 0),
                                           QItemSelectionModel::Deselect);
        pressRow_ = -1;
        // The list's press ends away from any line, so that it toggles nothing.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-1, -1), QPointF(-1, -1),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &release);
        Start(Purpose::Drag, std::move(rows));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
