#pragma once
// Per-block loops of the two-level transition detector, each giving bit for bit what its per-sample
// formula gives; apart from the detector so that their tests reach them directly.
#include <cstdint>

// out[k] = (a[k] - b[k]) / 3, truncated toward zero, for k < n.
void QelFSKThirdOfDifference(const int16_t* a, const int16_t* b, uint32_t n, int16_t* out);

// The envelopes with a decay of 1, sample by sample: upper := v if v >= upper, else the larger of
// upper - 1 and 0; lower the mirror. up[k] and lo[k] are the envelopes after sample v[k]; upper and
// lower go in as the ones before v[0] (0 <= upper <= 32767, -32768 <= lower <= 0) and come out as
// the ones after v[m - 1].
void QelFSKEnvelopes(const int16_t* v, uint32_t m, int32_t& upper, int32_t& lower, int16_t* up, int16_t* lo);
