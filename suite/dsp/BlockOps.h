#pragma once
// Per-block loops of the delay-and-multiply demodulators (packet at 1200 bit/s, ACARS): the clamped
// products of the filter output with itself delayed, and the search for the next zero crossing of
// the discriminator, whose bit clocks act only at crossings and at their sampling instants.
#include <cstdint>


// z[n] = y[n] x w[n] for n = 0..count-1 as a 64-bit product, clamped to +-(2^30 - 1) so that the
// next filter may add pairs of its inputs as 32-bit integers; asFloat, where given, receives each z[n]
// rounded to single precision.
void ClampedProducts(const int32_t* y, const int32_t* w, int32_t* z, int32_t count, float* asFloat = nullptr);

// What counts as a crossing at sample n, besides a change of sign between q[n-1] and q[n]: the
// sample before being zero, or the sample itself being zero.
enum class TZeroCrossing { AfterZero, AtZero };

// Bit n of words (n = 0..count-1, 64 to a word, the bits beyond count clear) set where sample n is a
// crossing, the sample before q[0] being previous. Eight samples are tested at a time.
template <TZeroCrossing Zero>
void CrossingBits(const int32_t* q, int32_t count, int32_t previous, uint64_t* words);

// Words for a block of at most count samples.
constexpr int32_t CrossingWords(int32_t count) { return (count + 63) / 64; }

// The first set bit in from..limit-1 of words; limit when there is none.
inline int32_t NextBit(const uint64_t* words, int32_t from, int32_t limit)
{
    if (from >= limit)
        return limit;
    int32_t w = from >> 6;
    uint64_t bits = words[w] & (~uint64_t(0) << (from & 63));
    while (!bits) {
        if ((++w) * 64 >= limit)
            return limit;
        bits = words[w];
    }
    const int32_t n = w * 64 + __builtin_ctzll(bits);
    return n < limit ? n : limit;
}
