#include "winutil/modScreen.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <cmath>

namespace modScreen {

namespace {

constexpr double TwipsPerInch = 1440;

int TwipsPerPixel(double dpi) {
    if (!(dpi > 0))
        return 15; // no screen: the common 96 DPI
    return static_cast<int>(std::lround(TwipsPerInch / dpi));
}

QScreen* Primary() {
    return QGuiApplication::primaryScreen();
}

// Twips in one unit of a scale mode, horizontally or vertically; 0 for an unknown mode.
double TwipsPerUnit(int mode, bool vertical) {
    switch (mode) {
    case vbTwips:
        return 1;
    case vbPixels:
        return vertical ? TwipsPerPixelY() : TwipsPerPixelX();
    default:
        return 0;
    }
}

double Scale(double value, int from, int to, bool vertical) {
    const double fromTwips = TwipsPerUnit(from, vertical);
    const double toTwips = TwipsPerUnit(to, vertical);
    if (fromTwips == 0 || toTwips == 0)
        return value;
    return value * fromTwips / toTwips;
}

// The geometry that the twips accessors read and write: the outer frame for a window.
QRect Outer(const QWidget* control) {
    return control->geometry().marginsAdded(Frame(control));
}

void SetOuter(QWidget* control, const QRect& rect) {
    const QRect inner = rect.marginsRemoved(Frame(control));
    if (!control->isWindow()) {
        control->setGeometry(inner);
        return;
    }
    control->move(rect.topLeft()); // move() places the frame of a window
    control->resize(inner.size().expandedTo(QSize(0, 0)));
}

} // namespace

int TwipsPerPixelX() {
    return TwipsPerPixel(Primary() ? Primary()->logicalDotsPerInchX() : 0);
}
int TwipsPerPixelY() {
    return TwipsPerPixel(Primary() ? Primary()->logicalDotsPerInchY() : 0);
}

double Screen::Width() {
    return Primary() ? TwipsX(Primary()->geometry().width()) : 0;
}
double Screen::Height() {
    return Primary() ? TwipsY(Primary()->geometry().height()) : 0;
}

std::int64_t IntDiv(double a, double b) {
    const double divisor = std::nearbyint(b);
    if (divisor == 0 || !std::isfinite(a))
        return 0;
    return static_cast<std::int64_t>(std::trunc(std::nearbyint(a) / divisor));
}

double ScaleX(double value, int fromScale, int toScale) {
    return Scale(value, fromScale, toScale, false);
}
double ScaleY(double value, int fromScale, int toScale) {
    return Scale(value, fromScale, toScale, true);
}

double TwipsX(double pixels) {
    return pixels * TwipsPerPixelX();
}
double TwipsY(double pixels) {
    return pixels * TwipsPerPixelY();
}
int PixelsX(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}
int PixelsY(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

double Left(const QWidget* control) {
    return TwipsX(Outer(control).x());
}
double Top(const QWidget* control) {
    return TwipsY(Outer(control).y());
}
double Width(const QWidget* control) {
    return TwipsX(Outer(control).width());
}
double Height(const QWidget* control) {
    return TwipsY(Outer(control).height());
}

void SetLeft(QWidget* control, double left) {
    Move(control, left);
}
void SetWidth(QWidget* control, double width) {
    Move(control, Left(control), Top(control), width);
}
void SetHeight(QWidget* control, double height) {
    Move(control, Left(control), Top(control), Width(control), height);
}

QMargins Frame(const QWidget* window) {
    const QWindow* handle = window->isWindow() ? window->windowHandle() : nullptr;
    return handle ? handle->frameMargins() : QMargins();
}

void Move(QWidget* control, double left, std::optional<double> top, std::optional<double> width,
          std::optional<double> height) {
    QRect rect = Outer(control);
    rect.moveLeft(PixelsX(left));
    if (top)
        rect.moveTop(PixelsY(*top));
    if (width)
        rect.setWidth(std::max(0, PixelsX(*width)));
    if (height)
        rect.setHeight(std::max(0, PixelsY(*height)));
    SetOuter(control, rect);
}

} // namespace modScreen
