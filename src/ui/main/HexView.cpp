#include "ui/main/HexView.h"

#include "archive/EntryData.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

HexView::HexView(std::shared_ptr<const archive::EntryData> data, QWidget* parent)
    : QAbstractScrollArea(parent), data_(std::move(data)) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    UpdateScrollBar();
}

qint64 HexView::LineCount() const {
    return (qint64(data_->Size()) + BytesPerLine - 1) / BytesPerLine;
}

QString HexView::Format(qint64 line, const char* bytes, int count) const {
    QString text = QStringLiteral("%1 ").arg(line * BytesPerLine, 8, 16, QLatin1Char('0'));
    QString chars;
    for (int i = 0; i < BytesPerLine; ++i) {
        text += i == BytesPerLine / 2 ? QStringLiteral("  ") : QStringLiteral(" ");
        if (i >= count) {
            text += QStringLiteral("  ");
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        chars += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QLatin1Char('.');
    }
    return text + QStringLiteral("  ") + chars;
}

QString HexView::Line(qint64 line) const {
    char bytes[BytesPerLine];
    std::error_code ec;
    const std::size_t got =
        line < 0 ? 0 : data_->Read(quint64(line) * BytesPerLine, bytes, BytesPerLine, ec);
    return got ? Format(line, bytes, int(got)) : QString();
}

int HexView::LinesInSight() const {
    return std::max(1, viewport()->height() / fontMetrics().lineSpacing());
}

void HexView::UpdateScrollBar() {
    // Entries hold less than 2 GiB: their lines fit the scroll bar's int.
    const int sight = LinesInSight();
    verticalScrollBar()->setRange(0, int(std::max<qint64>(0, LineCount() - sight)));
    verticalScrollBar()->setPageStep(sight);
    verticalScrollBar()->setSingleStep(1);
    const int width = fontMetrics().horizontalAdvance(Format(0, "", 0)) + 8;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QFontMetrics metrics = fontMetrics();
    const qint64 first = verticalScrollBar()->value();
    const int lines = LinesInSight() + 1;
    // The lines in sight in one read.
    std::vector<char> bytes(std::size_t(lines) * BytesPerLine);
    std::error_code ec;
    const std::size_t got =
        data_->Read(quint64(first) * BytesPerLine, bytes.data(), bytes.size(), ec);
    painter.setPen(palette().color(QPalette::Text));
    const int x = 4 - horizontalScrollBar()->value();
    for (int i = 0; i * std::size_t(BytesPerLine) < got && i < lines; ++i) {
        const int count =
            int(std::min<std::size_t>(BytesPerLine, got - std::size_t(i) * BytesPerLine));
        painter.drawText(x, i * metrics.lineSpacing() + metrics.ascent(),
                         Format(first + i, bytes.data() + i * BytesPerLine, count));
    }
    if (ec)
        painter.drawText(x, metrics.ascent(),
                         QStringLiteral("Cannot read the archive: ") +
                             QString::fromStdString(ec.message()));
}

void HexView::keyPressEvent(QKeyEvent* event) {
    // The scroll area moves by line and page itself; Home and End go to either end.
    QScrollBar* bar = verticalScrollBar();
    if (event->key() == Qt::Key_Home)
        bar->setValue(bar->minimum());
    else if (event->key() == Qt::Key_End)
        bar->setValue(bar->maximum());
    else
        QAbstractScrollArea::keyPressEvent(event);
}
