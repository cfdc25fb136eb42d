#include "QelBitDifference.h"

#include <algorithm>

namespace {

// Counts the 1 bits among the lowest bits of diff, stopping once no differing bit is left.
uint32_t CountLowBits(uint64_t diff, uint32_t bits) {
    uint32_t count = 0;
    for (; bits > 0 && diff != 0; --bits, diff >>= 1) count += static_cast<uint32_t>(diff & 1u);
    return count;
}

}  // namespace

void TQelBitDifference::SetBitsNum(uint32_t n) { bitsNum_ = std::clamp<uint32_t>(n, 1, 64); }

uint32_t TQelBitDifference::ErrorBits(uint32_t value) const {
    return CountLowBits(value ^ TargetLo, std::min<uint32_t>(bitsNum_, 32));
}

uint32_t TQelBitDifference::ErrorBits(uint64_t value) const {
    const uint64_t target = (static_cast<uint64_t>(TargetHi) << 32) | TargetLo;
    return CountLowBits(value ^ target, bitsNum_);
}
