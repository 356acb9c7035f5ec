#pragma once

#include <QString>

class QFontMetrics;
class QLabel;
class QWidget;

// Showing a folder path in a label that may be too narrow for it.
namespace modDrawText {

// Fits path into label, measured in form's font, within 96 % of the label's width
// (0.96 x (Width \ TwipsPerPixelX) pixels, rounded): the path itself when it fits, otherwise its
// start, "..." and as much as fits of its last component ("/" and "\" both separate components).
// Then writes, in this order, the label's caption (as plain text), its "Tag", a dynamic property
// holding the full path (read it with label->property("Tag").toString()), and its tooltip: the
// path when the caption is shortened, "" otherwise. The label is not re-fitted when it is resized
// later.
void FitPath(const QWidget* form, QLabel* label, const QString& path);

// The fitting rule alone: path shortened with a path ellipsis to at most width pixels in the
// given metrics; "" when not even the ellipsis fits.
QString PathEllipsis(const QString& path, const QFontMetrics& metrics, int width);

} // namespace modDrawText
