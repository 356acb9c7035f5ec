#pragma once

#include <cstdint>
#include <optional>

// Rounding to whole numbers the way the program's settings and geometry want it.
namespace modRounding {

// A number rounded to the nearest signed 32-bit integer, halves to even; empty when it is not a
// number or lies outside the 32-bit range.
std::optional<std::int32_t> RoundToInt32(double value);

} // namespace modRounding
