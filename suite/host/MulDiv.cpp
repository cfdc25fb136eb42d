#include "MulDiv.h"

#include <cstdint>

int32_t MulDiv(int32_t a, int32_t b, int32_t c)
{
    if (c == 0)
        return -1;
    const int64_t product = int64_t(a) * b;
    const bool negative = (product < 0) != (c < 0);
    // Magnitudes fit: |a*b| <= 2^62 and |c| <= 2^31.
    const uint64_t num = static_cast<uint64_t>(product < 0 ? -product : product);
    const uint64_t den = static_cast<uint64_t>(c < 0 ? -int64_t(c) : int64_t(c));
    const uint64_t q = (num + den / 2) / den;  // halves rounded up in magnitude
    if (q > (negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX)))
        return -1;
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(q)) : static_cast<int32_t>(q);
}
