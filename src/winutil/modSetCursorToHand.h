#pragma once

class QWidget;

// The pointing-hand cursor of link boxes.
namespace modSetCursorToHand {

// Makes the pointing hand the widget's own cursor: Qt shows it exactly while the pointer is over
// the widget, and the window's cursor elsewhere.
void SetCursorToHand(QWidget* widget);

} // namespace modSetCursorToHand
