#include "BlockOps.h"

#include <algorithm>

// In 256-bit vectors where the processor has them: the 64-bit products and comparisons of the clamp
// come with them.
__attribute__((target_clones("avx2", "default"))) void ClampedProducts(const int32_t* y, const int32_t* w,
                                                                       int32_t* z, int32_t count)
{
    constexpr int64_t kLimit = (int64_t(1) << 30) - 1;
    for (int32_t n = 0; n < count; ++n)
        z[n] = int32_t(std::clamp<int64_t>(int64_t(y[n]) * w[n], -kLimit, kLimit));
}
