#pragma once

#include "numeric/modRounding.h"

#include <QMargins>

#include <cstdint>
#include <optional>

class QWidget;

// The screen and the twips (1/1440 inch) in which window and control geometry is written.
namespace modScreen {

// Twips per pixel of the primary screen: 1440 / its logical DPI, rounded (15 at 96 DPI).
int TwipsPerPixelX();
int TwipsPerPixelY();

// The primary screen's size in twips; a control's size is Width(control) and Height(control).
namespace Screen {
double Width();
double Height();
} // namespace Screen

// Whole-number division a \ b: both operands rounded to whole numbers (halves to even), the
// quotient truncated toward zero. A zero divisor gives 0.
std::int64_t IntDiv(double a, double b);

// A number rounded to the nearest signed 32-bit integer, halves to even; empty when it is not a
// number or lies outside the 32-bit range.
using modRounding::RoundToInt32;

// The scale modes the program's windows use: 1 twips, 3 pixels. Converts a horizontal (X) or
// vertical (Y) length between them; an unknown mode leaves the value as it is.
enum ScaleMode { vbTwips = 1, vbPixels = 3 };
double ScaleX(double value, int fromScale, int toScale);
double ScaleY(double value, int fromScale, int toScale);

// Pixels to twips and twips to pixels (rounded to the nearest pixel) of lengths and positions.
double TwipsX(double pixels);
double TwipsY(double pixels);
int PixelsX(double twips);
int PixelsY(double twips);

// A control's geometry in twips, relative to its parent; a window's is its outer frame on the
// screen (caption and borders included where the platform reports them).
double Left(const QWidget* control);
double Top(const QWidget* control);
double Width(const QWidget* control);
double Height(const QWidget* control);
void SetLeft(QWidget* control, double left);
void SetWidth(QWidget* control, double width);
void SetHeight(QWidget* control, double height);

// The frame around a window's client area, as the platform reports it (none for a control, and
// none before the window is created or where there is no window manager).
QMargins Frame(const QWidget* window);

// Moves and sizes a control in one step; an omitted argument keeps its current value.
void Move(QWidget* control, double left, std::optional<double> top = std::nullopt,
          std::optional<double> width = std::nullopt, std::optional<double> height = std::nullopt);

} // namespace modScreen
