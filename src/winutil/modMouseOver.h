#pragma once

class QWidget;

// Link boxes: text boxes that show the hand cursor while the pointer is over them. Qt notices the
// pointer entering and leaving each box itself, so nothing takes the mouse capture.
namespace modMouseOver {

// Makes box a link box: the hand cursor over it, the window's own cursor everywhere else.
void MakeLinkBox(QWidget* box);

} // namespace modMouseOver
