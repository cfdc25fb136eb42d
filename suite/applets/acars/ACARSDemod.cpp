#include "ACARSDemod.h"

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
    // Low-pass, delay and multiply by the output 18 samples earlier, low-pass.
    discriminator_.Run(*lp1_, *lp2_, tail_, count, lp2_->Output);
    Framer.Process(lp2_->Output, count);
}
