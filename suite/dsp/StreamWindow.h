#pragma once
// The window of the stream forms of the filters (the exact sums of FIRKernels.cpp and the
// single-precision approximation of DelayMultiply.cpp): with the input laid out stream by stream,
// the operands of four neighbouring outputs at distance i are the four vectors i after their
// centres and the four i before them, so that at each tap the window moves by one vector, one
// new vector read above and one below. The vectors' roles turn from tap to tap, so that none is
// copied.
//
// The caller runs inside a function of the vector target with `flatten`, which inlines this and
// the tap into its body; tap.Start(p) starts the four sums from the centres p[0..3], and
// tap(i, u0, u1, u2, u3, d0, d1, d2, d3) adds the pairs u_k + d_k at distance i to the sum of
// output k.
#include <cstdint>

// The part of the layout by stream that the caller's transposes leave: lanes[W j + l] = x[l b + j]
// for the vectors j = from..vectors-1 of W streams of b outputs, and zeros in the vector before the
// first and the four after the last (the window's last step reads them, and never sums them).
template <int W, class T>
inline void StreamLayoutEnd(const T* x, int32_t b, int32_t from, int32_t vectors, T* lanes)
{
    for (int32_t j = from; j < vectors; ++j)
        for (int32_t l = 0; l < W; ++l)
            lanes[W * j + l] = x[l * b + j];
    for (int32_t l = -W; l < 0; ++l)
        lanes[l] = 0;
    for (int32_t l = W * vectors; l < W * (vectors + 4); ++l)
        lanes[l] = 0;
}

template <class V, class Tap>
__attribute__((always_inline)) inline void StreamTaps(const V* p, int32_t half, Tap& tap)
{
    // p: the centre of the first of the four outputs.
    tap.Start(p);
    V u0 = p[1], u1 = p[2], u2 = p[3], u3 = p[4];
    V d0 = p[-1], d1 = p[0], d2 = p[1], d3 = p[2];
    auto step = [&](V& a0, V& a1, V& a2, V& a3, V& b0, V& b1, V& b2, V& b3, int32_t i)
                    __attribute__((always_inline)) {
        tap(i, a0, a1, a2, a3, b0, b1, b2, b3);
        a0 = p[4 + i];
        b3 = p[-1 - i];
    };
    int32_t i = 1;
    for (; i + 3 <= half; i += 4) {
        step(u0, u1, u2, u3, d0, d1, d2, d3, i);
        step(u1, u2, u3, u0, d3, d0, d1, d2, i + 1);
        step(u2, u3, u0, u1, d2, d3, d0, d1, i + 2);
        step(u3, u0, u1, u2, d1, d2, d3, d0, i + 3);
    }
    if (i <= half)
        step(u0, u1, u2, u3, d0, d1, d2, d3, i);
    if (i + 1 <= half)
        step(u1, u2, u3, u0, d3, d0, d1, d2, i + 1);
    if (i + 2 <= half)
        step(u2, u3, u0, u1, d2, d3, d0, d1, i + 2);
}
