#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>

// Decimal numbers written as text: the numeric key names of the key order and the numbers that
// clsINI::ReadLong reads. Digits are kept exact, so rounding never suffers from binary floating
// point.
namespace modNumberParser {

// The numeric value of a key name: the whole text is a number (an optional sign, decimal digits
// with at most one ".", an optional exponent; blanks around it allowed), rounded to the nearest
// integer, halves to even. Nothing when it is no number or its value lies outside 32 bits.
std::optional<qint32> NumericName(QStringView name);

// Blanks, tabs and line feeds are skipped anywhere, the longest leading number is read (0 when
// there is none) and rounded, halves to even. Throws std::overflow_error outside 32 bits.
qint32 ReadNumber(const QString& text);

// A value given as a number or as text, rounded like ReadNumber: not given is 0, text is read by
// ReadNumber, anything that is no number is 0. Throws std::overflow_error outside 32 bits.
qint32 ToLong(const QVariant& value);

} // namespace modNumberParser
