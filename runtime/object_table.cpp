#include "runtime/object_table.h"

namespace pp {

int32_t ObjectTableCapacityFor(int32_t number, int32_t growthStep) {
    if (number < 0 || number >= kObjectNumberLimit) return 0;
    const int64_t step = growthStep > 0 ? growthStep : 1;
    // Computed in 64 bits so that n + step cannot wrap; the limit keeps it far below int32.
    const int64_t capacity = static_cast<int64_t>(number) + step;
    return capacity > INT32_MAX ? INT32_MAX : static_cast<int32_t>(capacity);
}

}  // namespace pp
