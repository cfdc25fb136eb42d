#pragma once
// Colour blend and scaling shared by every painted control. Colours are 0x00BBGGRR values; a
// system colour is turned into its explicit value before any byte arithmetic.
#include <cstdint>

// Byte-wise Color1 + (Color2 - Color1) * i / n, truncated toward zero; a byte outside 0..255 becomes 255.
// A blend of no steps (n = 0) stays at Color1.
uint32_t InterpolatedColor(uint32_t color1, uint32_t color2, int64_t n, int64_t i);

// Byte-wise Color * i / n, truncated toward zero; a byte outside 0..255 becomes 255.
// A scale of n = 0 leaves the colour as it is.
uint32_t PonderatedColor(uint32_t color, int64_t i, int64_t n);
