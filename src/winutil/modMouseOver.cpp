#include "winutil/modMouseOver.h"

#include "winutil/modObject.h"
#include "winutil/modSetCursorToHand.h"

#include <QWidget>

#include <optional>

namespace modMouseOver {

namespace {

bool Captured = false;

// Ends whichever capture the program holds.
void ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
}

} // namespace

bool MouseCaptured() {
    return Captured;
}

void CaptureMouse(QObject* control) {
    const std::optional<QWidget*> hWnd = modObject::GetHandle(control);
    if (!hWnd)
        return;
    (*hWnd)->grabMouse();
    Captured = true;
}

void ReleaseMouseCapture() {
    if (Captured)
        ReleaseCapture();
}

bool HasMouseLeft(const QObject* control, double X, double Y) {
    if (!Captured)
        return false;
    double W = modObject::GetNumber(control, "ScaleWidth").value_or(0);
    double H = modObject::GetNumber(control, "ScaleHeight").value_or(0);
    if (W == 0) {
        W = modObject::GetNumber(control, "Width").value_or(W);
        H = modObject::GetNumber(control, "Height").value_or(H);
    }
    if (X >= 0 && Y >= 0 && X <= W && Y <= H)
        return false;
    ReleaseCapture();
    Captured = false;
    return true;
}

void LinkBoxMouseMove(QWidget* box, double X, double Y) {
    if (HasMouseLeft(box, X, Y)) {
        box->window()->unsetCursor();
        return;
    }
    CaptureMouse(box);
    modSetCursorToHand::SetCursorToHand();
}

} // namespace modMouseOver
