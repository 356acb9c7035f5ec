#pragma once

class QObject;
class QWidget;

// Noticing when the pointer enters and leaves a link box: the box takes the mouse capture while
// the pointer is over it, so that it also receives the move that takes the pointer off it. One
// flag for the whole program: one box holds the capture at a time.
namespace modMouseOver {

// True from CaptureMouse until HasMouseLeft finds the pointer outside the box.
bool MouseCaptured();

// Gives the mouse capture to control's window handle hWnd (read by name, see modObject) and sets
// MouseCaptured; a control without a handle is left alone.
void CaptureMouse(QObject* control);

// Ends the capture if MouseCaptured is set; the flag stays as it is.
void ReleaseMouseCapture();

// The leaving test, X and Y being the pointer's position from the control's top-left corner in
// the units of its container (twips for a form's controls). False at once unless MouseCaptured.
// Otherwise measures the control by ScaleWidth and ScaleHeight, or by Width and Height when
// ScaleWidth is missing or 0 (missing ones count as 0); the pointer is inside when
// 0 <= X <= width and 0 <= Y <= height. Outside, it releases the capture, clears MouseCaptured
// and returns true.
bool HasMouseLeft(const QObject* control, double X, double Y);

// The hover protocol for a mouse move over a link box, the position in twips: when the pointer
// has just left the box, the window's own cursor is reset; otherwise the box takes the capture
// and the hand cursor is shown. Link boxes need mouse tracking so that they see every move.
void LinkBoxMouseMove(QWidget* box, double X, double Y);

} // namespace modMouseOver
