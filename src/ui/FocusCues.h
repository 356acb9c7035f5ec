#pragma once

class QAbstractScrollArea;
class QWidget;

// Focus cues that the style leaves out, drawn over a widget after it has painted itself.
namespace focuscues {

// A frame in the highlight colour around the widget while it has the focus: a list's frame
// looks the same with and without the focus, and a highlighted line hides the focus rectangle.
void ShowFocusFrame(QWidget* widget);

// A dotted rectangle inset pixels inside the widget while it has the focus: a default button
// looks the same focused or not in some styles, and a link box shows no cursor.
void ShowFocusRect(QWidget* widget, int inset);

// Keeps a list's frame visible at fractional scales (1.5): there the list's viewport, filling its
// background, rounds out over the frame's right edge. The list fills the background under its
// frame instead, and the viewport fills nothing.
void KeepFrameVisible(QAbstractScrollArea* list);

} // namespace focuscues
