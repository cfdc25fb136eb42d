#pragma once
// Check register of the MPT1327 codeword: a 15-bit cyclic remainder and an even-parity bit,
// fed one bit at a time as the codeword arrives.
#include <cstdint>

// Generator of the check bits: x^15 + x^14 + x^13 + x^11 + x^4 + x^2 + 1.
constexpr uint32_t kMPT1327Generator = 0xE815;

struct TCodewordCheckRegister {
    uint32_t Generator = 0;
    uint32_t TopMask = 0;  // highest set bit of the generator
    uint32_t Remainder = 0;
    uint32_t Parity = 0;   // 0 or 1
};

void CrcInit(TCodewordCheckRegister& reg, uint32_t generator);
void CrcAddBit(TCodewordCheckRegister& reg, uint32_t bit);
// A codeword is good when the remainder below the top bit is zero and the parity even.
bool CrcValid(const TCodewordCheckRegister& reg);
