#include "winutil/modMouseOver.h"

#include "winutil/modSetCursorToHand.h"

namespace modMouseOver {

void MakeLinkBox(QWidget* box) {
    modSetCursorToHand::SetCursorToHand(box);
}

} // namespace modMouseOver
