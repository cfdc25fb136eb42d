#pragma once
// Counts the bits of a word that differ from a target pattern, to accept a sync word or a
// codeword with a few bit errors.
#include <cstdint>

class TQelBitDifference {
public:
    uint32_t BitsNum() const { return bitsNum_; }
    // Number of low bits compared, kept in 1..64.
    void SetBitsNum(uint32_t n);

    // Differing bits among the lowest min(BitsNum, 32) bits of value and TargetLo.
    uint32_t ErrorBits(uint32_t value) const;
    // Differing bits among the lowest BitsNum bits of value and TargetHi:TargetLo.
    uint32_t ErrorBits(uint64_t value) const;

    uint32_t TargetLo = 0;
    uint32_t TargetHi = 0;

private:
    uint32_t bitsNum_ = 64;
};
