#include "ACARSDemod.h"

#include <algorithm>

namespace {

// The second filter adds pairs of its inputs as 32-bit integers: products are kept inside +-2^30.
constexpr int64_t kProductLimit = (int64_t(1) << 30) - 1;

} // namespace

TACARSDemod::TACARSDemod() : lp1_(std::make_unique<TFIRRec>()), lp2_(std::make_unique<TFIRRec>()) { design(kBlock); }

void TACARSDemod::design(int32_t block)
{
    DesignLowPassFIR(*lp1_, block, 31, 0.16326530612244897);  // 3600 Hz
    DesignLowPassFIR(*lp2_, block, 31, 0.09070294784580499);  // 2000 Hz
}

void TACARSDemod::ProcessBuffer(const int16_t* x, int32_t count)
{
    if (!x || count <= 0)
        return;
    count = std::min(count, kFIRMaxBlock);
    if (count != lp1_->Block)
        design(count);
    int32_t* d = lp1_->Input + kFIRBlockStart;
    for (int32_t n = 0; n < count; ++n) {
        d[n] = int32_t(x[n]) - previous_;
        previous_ = x[n];
    }
    FIRFilter(*lp1_);
    const int32_t* y = lp1_->Output;
    int32_t* z = lp2_->Input + kFIRBlockStart;
    for (int32_t n = 0; n < count; ++n) {
        const int32_t before = n >= kDelay ? y[n - kDelay] : tail_[n];
        z[n] = int32_t(std::clamp<int64_t>(int64_t(y[n]) * before, -kProductLimit, kProductLimit));
    }
    // The last 18 outputs, for the products at the start of the next block.
    int32_t keep[kDelay];
    for (int32_t i = 0; i < kDelay; ++i) {
        const int32_t n = count - kDelay + i;
        keep[i] = n >= 0 ? y[n] : tail_[kDelay + n];
    }
    std::copy(keep, keep + kDelay, tail_);
    FIRFilter(*lp2_);
    Framer.Process(lp2_->Output, count);
}
