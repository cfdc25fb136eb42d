#pragma once
// The ACARS signal path up to the framer: first difference, 3600 Hz low-pass, delay-and-multiply over
// one bit (18 samples), 2000 Hz low-pass; the discriminator output goes to the framer block by block.
#include "ACARSFramer.h"
#include "DelayMultiply.h"
#include "FIR.h"

#include <cstdint>
#include <memory>

class TACARSDemod {
public:
    static constexpr int32_t kBlock = 4096;
    static constexpr int32_t kDelay = 18;

    TACARSDemod();

    // One captured block of 44100 Hz mono samples (at most 4096; a block of another length is
    // filtered at that length).
    void ProcessBuffer(const int16_t* x, int32_t count);

    TACARSFramer Framer;
    // The signs (-1, 0, +1) of the discriminator's output for the last block (what the framer was
    // given: it reads nothing else of it).
    const int32_t* Discriminator() const { return lp2_->Output; }

private:
    void design(int32_t block);

    // The filter records are large (tens of kilobytes each): kept on the heap.
    std::unique_ptr<TFIRRec> lp1_;
    std::unique_ptr<TFIRRec> lp2_;
    int32_t previous_ = 0;      // last raw sample of the previous block
    int32_t tail_[kDelay] = {};  // last 18 outputs of the first low-pass
    TDelayMultiply discriminator_{kDelay};
};
