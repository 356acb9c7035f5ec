#include "ui/main/frmView.h"

#include "archive/EntryData.h"
#include "ui/main/HexView.h"
#include "ui/main/TextEncoding.h"

#include <QAction>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

// An image drawn at a zoom; painting scales only the part in sight.
class ImageView : public QWidget {
public:
    using QWidget::QWidget;
    QImage Image;
    double Zoom = 1.0;
    void Fit() { resize((QSizeF(Image.size()) * Zoom).toSize().expandedTo(QSize(1, 1))); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.setClipRect(event->rect());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, Zoom < 1.0);
        painter.scale(Zoom, Zoom);
        painter.drawImage(0, 0, Image);
    }
};

namespace {

// The entry's readable bytes as a random-access device, for Qt's image readers.
class EntryDevice : public QIODevice {
public:
    explicit EntryDevice(const archive::EntryData& data) : data_(data) {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return qint64(data_.Size()); }

protected:
    qint64 readData(char* into, qint64 max) override {
        std::error_code ec;
        const std::size_t got = data_.Read(quint64(pos()), into, std::size_t(max), ec);
        return ec ? -1 : qint64(got);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const archive::EntryData& data_;
};

QByteArray ReadStart(const archive::EntryData& data, qint64 bytes) {
    QByteArray start(qsizetype(std::min<qint64>(bytes, qint64(data.Size()))), '\0');
    std::error_code ec;
    start.resize(qsizetype(data.Read(0, start.data(), std::size_t(start.size()), ec)));
    return start;
}

// Why an entry cannot be read, for the viewer.
QString Problem(const archive::EntryData& data) {
    using Kind = archive::EntryResult::Kind;
    switch (data.Record().Result) {
    case Kind::NotOpened:
        return QString::fromStdString(archive::Describe(data.ArchiveError()));
    case Kind::ArchiveChanged:
    case Kind::NotInDirectory:
        return QStringLiteral("the archive changed since it was listed");
    default:
        return QString::fromStdString(archive::Describe(data.Record()));
    }
}

QAction* AddAction(QToolBar* bar, const char* name, const QString& caption,
                   const QKeySequence& key) {
    QAction* action = bar->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(key);
    return action;
}

} // namespace

frmView::frmView(QWidget* owner, const std::filesystem::path& archive, int position,
                 const std::string& listedName, const QString& shownName)
    : QWidget(owner, Qt::Window), shownName_(shownName) {
    setObjectName(QStringLiteral("frmView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(shownName + QStringLiteral(" - Quillmarrow"));
    if (owner)
        setWindowIcon(owner->windowIcon());
    data_ = std::make_shared<const archive::EntryData>(archive, position, listedName);

    auto* bar = new QToolBar(this);
    mnuViewZoomIn =
        AddAction(bar, "mnuViewZoomIn", QStringLiteral("Zoom &In"), QKeySequence::ZoomIn);
    // Ctrl+= as well: the key of + without Shift.
    mnuViewZoomIn->setShortcuts({QKeySequence(QKeySequence::ZoomIn), Qt::CTRL | Qt::Key_Equal});
    mnuViewZoomOut =
        AddAction(bar, "mnuViewZoomOut", QStringLiteral("Zoom &Out"), QKeySequence::ZoomOut);
    mnuViewActualSize =
        AddAction(bar, "mnuViewActualSize", QStringLiteral("100 %"), Qt::CTRL | Qt::Key_0);
    mnuViewFit = AddAction(bar, "mnuViewFit", QStringLiteral("&Fit"), Qt::CTRL | Qt::Key_9);
    bar->addSeparator();
    mnuViewHex = AddAction(bar, "mnuViewHex", QStringLiteral("&Hex"), Qt::CTRL | Qt::Key_H);
    mnuViewHex->setCheckable(true);
    bar->addSeparator();
    cboEncoding = new QComboBox(bar);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->setAccessibleName(QStringLiteral("Encoding"));
    cboEncoding->setAccessibleDescription(QStringLiteral("The encoding the text is read in"));
    for (const textencoding::Encoding encoding : textencoding::Offered())
        cboEncoding->addItem(textencoding::Name(encoding), int(encoding));
    bar->addWidget(cboEncoding);

    pages = new QStackedWidget(this);
    scrPicture = new QScrollArea(pages);
    scrPicture->setAlignment(Qt::AlignCenter);
    imgPicture = new ImageView(scrPicture);
    scrPicture->setWidget(imgPicture);
    scrPicture->viewport()->installEventFilter(this); // a fitted image is fitted again
    txtText = new QPlainTextEdit(pages);
    txtText->setReadOnly(true);
    txtText->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblProblem = new QLabel(pages);
    lblProblem->setTextFormat(Qt::PlainText);
    lblProblem->setAlignment(Qt::AlignCenter);
    lblProblem->setWordWrap(true);
    hexData = data_->Readable() ? new HexView(data_, pages) : nullptr;
    for (QWidget* page : {static_cast<QWidget*>(scrPicture), static_cast<QWidget*>(txtText),
                          static_cast<QWidget*>(lblProblem)})
        pages->addWidget(page);
    if (hexData)
        pages->addWidget(hexData);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    lblStatus->setContentsMargins(6, 0, 6, 0);
    layout->addWidget(bar);
    layout->addWidget(pages, 1);
    layout->addWidget(lblStatus);

    connect(mnuViewZoomIn, &QAction::triggered, this, [this] { SetZoom(zoom_ * 1.25, false); });
    connect(mnuViewZoomOut, &QAction::triggered, this, [this] { SetZoom(zoom_ / 1.25, false); });
    connect(mnuViewActualSize, &QAction::triggered, this, [this] { SetZoom(1.0, false); });
    connect(mnuViewFit, &QAction::triggered, this, [this] { SetZoom(zoom_, true); });
    connect(mnuViewHex, &QAction::toggled, this, &frmView::ShowContent);
    connect(cboEncoding, &QComboBox::activated, this, [this] {
        encodingChosen_ = true;
        DecodeText();
    });
    auto* esc = new QShortcut(Qt::Key_Escape, this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);

    resize(720, 540);
    ShowContent();
}

frmView::~frmView() = default;

void frmView::ShowContent() {
    for (QAction* zoom : {mnuViewZoomIn, mnuViewZoomOut, mnuViewActualSize, mnuViewFit})
        zoom->setEnabled(false);
    mnuViewHex->setEnabled(hexData != nullptr);
    cboEncoding->setEnabled(false);
    if (!data_->Readable()) {
        lblProblem->setText(shownName_ + QStringLiteral(": ") + Problem(*data_));
        lblStatus->setText(lblProblem->text());
        pages->setCurrentWidget(lblProblem);
        return;
    }
    using Kind = archive::EntryResult::Kind;
    note_ = data_->Record().Result != Kind::CutShort
                ? QString()
                : QStringLiteral("; cut short by the end of the archive: %1 of %2 bytes exist")
                      .arg(data_->Size())
                      .arg(data_->Record().Size);
    if (mnuViewHex->isChecked() || (!ShowImage() && !ShowText()))
        ShowHex({});
}

bool frmView::ShowImage() {
    EntryDevice device(*data_);
    QImageReader reader(&device);
    if (!reader.canRead())
        return false;
    format_ = QString::fromLatin1(reader.format()).toUpper();
    const QSize size = reader.size(); // from the header: nothing is decoded yet
    if (size.isValid() && qint64(size.width()) * size.height() > MaxImagePixels) {
        ShowHex(QStringLiteral("%1 image of %2 × %3 pixels, too large to show")
                    .arg(format_)
                    .arg(size.width())
                    .arg(size.height()));
        return true;
    }
    reader.setAllocationLimit(int(MaxImagePixels * 8 >> 20));
    QImage image;
    if (!reader.read(&image)) {
        ShowHex(
            QStringLiteral("%1 image that cannot be read (%2)").arg(format_, reader.errorString()));
        return true;
    }
    imgPicture->Image = std::move(image);
    for (QAction* zoom : {mnuViewZoomIn, mnuViewZoomOut, mnuViewActualSize, mnuViewFit})
        zoom->setEnabled(true);
    pages->setCurrentWidget(scrPicture);
    SetZoom(1.0, true);
    return true;
}

bool frmView::ShowText() {
    const QByteArray probe = ReadStart(*data_, TextProbeBytes);
    const std::optional<textencoding::Encoding> guess =
        textencoding::Guess(probe, qint64(data_->Size()) > probe.size());
    if (!guess)
        return false;
    if (!encodingChosen_) // a choice of the user's stays when Hex is switched off again
        cboEncoding->setCurrentIndex(cboEncoding->findData(int(*guess)));
    cboEncoding->setEnabled(true);
    text_ = ReadStart(*data_, MaxTextBytes);
    DecodeText();
    pages->setCurrentWidget(txtText);
    const qint64 size = qint64(data_->Size());
    lblStatus->setText(size > text_.size()
                           ? QStringLiteral("Text, %1 bytes; showing the first %2 bytes%3")
                                 .arg(size)
                                 .arg(text_.size())
                                 .arg(note_)
                           : QStringLiteral("Text, %1 bytes%2").arg(size).arg(note_));
    return true;
}

void frmView::DecodeText() {
    const auto encoding = textencoding::Encoding(cboEncoding->currentData().toInt());
    txtText->setPlainText(textencoding::Decode(encoding, text_));
}

void frmView::ShowHex(const QString& why) {
    pages->setCurrentWidget(hexData);
    const QString size = QStringLiteral("%1 bytes").arg(data_->Size());
    lblStatus->setText((why.isEmpty() ? size : why + QStringLiteral(", shown as hex; ") + size) +
                       note_);
}

void frmView::SetZoom(double zoom, bool fit) {
    fit_ = fit;
    const QSize image = imgPicture->Image.size();
    if (fit && !image.isEmpty()) {
        const QSize room = scrPicture->maximumViewportSize();
        zoom = std::min(
            {1.0, double(room.width()) / image.width(), double(room.height()) / image.height()});
    }
    zoom_ = std::clamp(zoom, 1.0 / 64, 32.0);
    imgPicture->Zoom = zoom_;
    imgPicture->Fit();
    imgPicture->update();
    ImageStatus();
}

void frmView::ImageStatus() {
    const QSize image = imgPicture->Image.size();
    lblStatus->setText(QStringLiteral("%1, %2 × %3 pixels, %4 %%5")
                           .arg(format_)
                           .arg(image.width())
                           .arg(image.height())
                           .arg(std::lround(zoom_ * 100))
                           .arg(note_));
}

bool frmView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && fit_ && pages->currentWidget() == scrPicture)
        SetZoom(zoom_, true);
    return QWidget::eventFilter(watched, event);
}
