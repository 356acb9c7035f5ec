#pragma once

// The pointing-hand cursor of link boxes.
namespace modSetCursorToHand {

// Shows the hand cursor over the widget that holds the mouse capture (see modMouseOver), or over
// the widget under the pointer when none does; with neither, nothing happens.
void SetCursorToHand();

} // namespace modSetCursorToHand
