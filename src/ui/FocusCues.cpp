#include "ui/FocusCues.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace focuscues {

namespace {

// Paints the widget as usual, then the cue while it has the focus; repaints when the focus
// comes or goes.
class Cue : public QObject {
public:
    Cue(QWidget* widget, int inset, Qt::PenStyle pen, QPalette::ColorRole colour)
        : QObject(widget), widget_(widget), inset_(inset), pen_(pen), colour_(colour) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            widget_->update();
            return false;
        case QEvent::Paint: {
            static_cast<QObject*>(widget_)->event(event); // the widget's own painting
            if (widget_->hasFocus()) {
                QPainter painter(widget_);
                painter.setPen(QPen(widget_->palette().color(colour_), 1, pen_));
                painter.drawRect(
                    widget_->rect().adjusted(inset_, inset_, -1 - inset_, -1 - inset_));
            }
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget* widget_;
    int inset_;
    Qt::PenStyle pen_;
    QPalette::ColorRole colour_;
};

} // namespace

void ShowFocusFrame(QWidget* widget) {
    new Cue(widget, 0, Qt::SolidLine, QPalette::Highlight);
}

void ShowFocusRect(QWidget* widget, int inset) {
    new Cue(widget, inset, Qt::DotLine, QPalette::ButtonText);
}

void KeepFrameVisible(QAbstractScrollArea* list) {
    list->viewport()->setAutoFillBackground(false);
    list->setBackgroundRole(QPalette::Base);
    list->setAutoFillBackground(true);
}

} // namespace focuscues
