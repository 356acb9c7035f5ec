#include "numeric/modRounding.h"

#include <cmath>
#include <limits>

namespace modRounding {

std::optional<std::int32_t> RoundToInt32(double value) {
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt; // also infinities and NaN
    return static_cast<std::int32_t>(rounded);
}

} // namespace modRounding
