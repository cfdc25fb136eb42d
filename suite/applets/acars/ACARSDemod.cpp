#include "ACARSDemod.h"

#include "BlockOps.h"

#include <algorithm>

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
    // First difference, the first sample against the last of the block before.
    int32_t* d = lp1_->Input + kFIRBlockStart;
    d[0] = int32_t(x[0]) - previous_;
    for (int32_t n = 1; n < count; ++n)
        d[n] = int32_t(x[n]) - int32_t(x[n - 1]);
    previous_ = x[count - 1];
    FIRFilter(*lp1_);
    // Delay and multiply: the first 18 products reach back into the block before (tail_), the rest
    // stay inside this one; separate loops, with no test per sample, that the compiler vectorises.
    const int32_t* y = lp1_->Output;
    int32_t* z = lp2_->Input + kFIRBlockStart;
    ClampedProducts(y, tail_, z, std::min(count, kDelay));
    if (count > kDelay)
        ClampedProducts(y + kDelay, y, z + kDelay, count - kDelay);
    // The last 18 outputs, for the products at the start of the next block (with a block shorter
    // than that, the older ones come from the tail before).
    int32_t keep[kDelay];
    for (int32_t i = 0; i < kDelay; ++i) {
        const int32_t n = count - kDelay + i;
        keep[i] = n >= 0 ? y[n] : tail_[kDelay + n];
    }
    std::copy(keep, keep + kDelay, tail_);
    FIRFilter(*lp2_);
    Framer.Process(lp2_->Output, count);
}
