#include "BlockOps.h"

#include <algorithm>

namespace {

constexpr int64_t kLimit = (int64_t(1) << 30) - 1;

inline void products(const int32_t* y, const int32_t* w, int32_t* z, int32_t count)
{
    for (int32_t n = 0; n < count; ++n)
        z[n] = int32_t(std::clamp<int64_t>(int64_t(y[n]) * w[n], -kLimit, kLimit));
}

void ProductsPlain(const int32_t* y, const int32_t* w, int32_t* z, int32_t count) { products(y, w, z, count); }

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The same loop in 256-bit vectors: the 64-bit products and comparisons of the clamp come with them.
__attribute__((target("avx2"))) void ProductsAvx2(const int32_t* y, const int32_t* w, int32_t* z, int32_t count)
{
    products(y, w, z, count);
}
#endif

using TProducts = void (*)(const int32_t*, const int32_t*, int32_t*, int32_t);

TProducts BestProducts()
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (__builtin_cpu_supports("avx2"))
        return ProductsAvx2;
#endif
    return ProductsPlain;
}

}  // namespace

void ClampedProducts(const int32_t* y, const int32_t* w, int32_t* z, int32_t count)
{
    static const TProducts best = BestProducts();
    best(y, w, z, count);
}
