#include "winutil/modSetCursorToHand.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace modSetCursorToHand {

void SetCursorToHand() {
    QWidget* widget = QWidget::mouseGrabber();
    if (!widget)
        widget = QApplication::widgetAt(QCursor::pos());
    if (widget)
        widget->setCursor(Qt::PointingHandCursor);
}

} // namespace modSetCursorToHand
