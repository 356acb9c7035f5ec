#pragma once

// A one-line label that, when its text is wider than it is, shows the text cut short with "…"
// and the whole text as its tooltip. Its text stays whole, for screen readers and for code.

#include <QLabel>

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;
    // The text as it shows at the label's width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
