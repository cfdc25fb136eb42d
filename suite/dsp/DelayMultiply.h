#pragma once
// The delay-and-multiply discriminator of the packet (1200 bit/s) and ACARS demodulators: a low-pass
// of the first difference, its output times itself one delay earlier (the clamped 64-bit product of
// ClampedProducts), and a low-pass of the products. The bit clocks read only the sign of the second
// filter's output; so most signs are decided from a single precision approximation of the second
// filter with a rigorous bound on its error, and an output is computed exactly (the plain filter, to
// the bit) only where the bound leaves its sign open. The signs are always those of the plain path.
#include "FIR.h"

#include <cstdint>
#include <memory>

struct TDelayMultiplyScratch;

class TDelayMultiply {
public:
    // delay: 1..64 samples.
    explicit TDelayMultiply(int32_t delay);
    ~TDelayMultiply();
    TDelayMultiply(const TDelayMultiply&) = delete;
    TDelayMultiply& operator=(const TDelayMultiply&) = delete;

    // One block: the caller has written the count first differences at first.Input[401..] (count
    // = first.Block = second.Block). Writes the sign (-1, 0 or +1) of each of the second filter's
    // outputs to signs[0..count-1], as FIRFilter(first), ClampedProducts with the output delay
    // samples earlier (tail: the first filter's last delay outputs of the block before, updated
    // here), FIRFilter(second) would give them, and returns that path's last output itself. Both
    // filters' histories move as FIRFilter moves them; their Output arrays are not the outputs.
    // signs may be second.Output.
    int32_t Run(TFIRRec& first, TFIRRec& second, int32_t* tail, int32_t count, int32_t* signs);

    // Scales the error bounds (tests: a large factor leaves every sign to the exact path).
    void SetBoundFactor(double factor) { boundFactor_ = factor; }
    // Outputs of the second filter computed exactly so far (the approximation left them open).
    int64_t ExactOutputs() const { return exact_; }

private:
    int32_t runPlain(TFIRRec& first, TFIRRec& second, int32_t* tail, int32_t count, int32_t* signs);

    int32_t delay_;
    double boundFactor_ = 1;
    int64_t exact_ = 0;
    std::unique_ptr<TDelayMultiplyScratch> s_;
};
