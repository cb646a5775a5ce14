#include "runtime/convert.h"

#include <cmath>

namespace pp {
namespace {

// 2^63: the first magnitude a 64-bit integer cannot hold.
constexpr double kInt64Limit = 9223372036854775808.0;

// Low 32 bits of an integral double; integral values outside the 64-bit range give 0, like the
// processor's indefinite result whose low half is 0.
int32_t LowWord(double integral) {
    if (!(integral >= -kInt64Limit && integral < kInt64Limit)) return 0;
    auto wide = static_cast<int64_t>(integral);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

}  // namespace

int32_t TruncToInt(double x) {
    if (std::isnan(x)) return 0;
    return LowWord(std::trunc(x));
}

int32_t RoundToInt(double x) {
    if (std::isnan(x)) return 0;
    double whole = std::trunc(x);
    // The fractional part of a double is exact, so comparing it with 0.5 decides the tie.
    double fraction = x - whole;
    if (fraction > 0.5) {
        whole += 1.0;
    } else if (fraction < -0.5) {
        whole -= 1.0;
    } else if (fraction == 0.5 || fraction == -0.5) {
        // |whole| < 2^52 here (larger doubles have no fraction), so the cast is exact.
        bool odd = (static_cast<int64_t>(whole) & 1) != 0;
        if (odd) whole += fraction > 0.0 ? 1.0 : -1.0;
    }
    return LowWord(whole);
}

}  // namespace pp
