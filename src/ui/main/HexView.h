#pragma once

#include <QAbstractScrollArea>

#include <memory>

namespace archive {
class EntryData;
}

// An entry's bytes as lines of hex: the offset, 16 bytes and their printable characters. Only
// the lines in sight are read, so an entry of any size scrolls at once.
class HexView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int BytesPerLine = 16;

    explicit HexView(std::shared_ptr<const archive::EntryData> data, QWidget* parent = nullptr);

    qint64 LineCount() const;
    // Line `line` as shown: "00000010  41 42 ... 4f  ABC...O"; empty past the end.
    QString Line(qint64 line) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int LinesInSight() const;
    void UpdateScrollBar();
    QString Format(qint64 line, const char* bytes, int count) const;

    std::shared_ptr<const archive::EntryData> data_;
};
