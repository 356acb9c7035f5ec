#include "winutil/modSetCursorToHand.h"

#include <QWidget>

namespace modSetCursorToHand {

void SetCursorToHand(QWidget* widget) {
    if (widget)
        widget->setCursor(Qt::PointingHandCursor);
}

} // namespace modSetCursorToHand
