#pragma once
// The filter of FIR.h for a demodulator that reads the sign of every output but the value of an
// output only on either side of a change of sign (and the block's last one): the changes of sign
// of the output block, with those values, and the same history kept as FIRFilter keeps.
//
// A single-precision estimate of every output, with a rigorous bound on its distance from the
// exact double sum, decides the sign of nearly every output; the outputs it leaves open, the two
// outputs at every change of sign and the last output are summed exactly as FIRFilter sums them
// (the same products added in the same order). So every sign and every value delivered is
// FIRFilter's, to the bit.
#include "FIR.h"

#include <cstdint>
#include <vector>

// A change of sign between outputs n - 1 and n: y[n] != 0, and y[n - 1] is 0 or of the other sign.
struct TFIRCrossing {
    int32_t At;      // n
    int32_t Before;  // y[n - 1]; for n = 0 the last output of the block before, as passed in
    int32_t After;   // y[n]
};

struct TFIRCrossings {
    std::vector<TFIRCrossing> List;  // in the order of n
    int32_t Last = 0;                // y[Block - 1]
    // Of the last block: outputs whose sign the estimate left open, and outputs summed exactly in
    // all (those, the two at every change of sign and the last).
    int32_t Undecided = 0;
    int32_t Exact = 0;
    // Multiplies the estimate's error bound; a large factor sends every output through the exact
    // sums. 1 in use.
    double BoundScale = 1;

    // Working storage, kept from block to block.
    std::vector<float> Rows;       // the input and the estimate, eight stretches side by side
    std::vector<float> Estimate;
    std::vector<int32_t> Value;    // exact outputs, where Known
    std::vector<uint8_t> Known;
    std::vector<uint8_t> Positive, Negative;  // per output row, one bit per stretch
    std::vector<int32_t> Pairs;    // first outputs of the groups of four to sum exactly
    std::vector<int32_t> Sums;     // their sums, four a group
    std::vector<int32_t> Open;     // outputs the estimate left open
    std::vector<int32_t> Changes;  // rows of the changes of sign, stretch by stretch
};

// Filters the Block samples written at Input[401..] (as FIRFilter: the history moves the same way,
// and nothing happens on an inconsistent record) and delivers the changes of sign of the output,
// `previous` standing for the output before the block. rec.Output is not kept up to date.
void FIRFilterCrossings(TFIRRec& rec, int32_t previous, TFIRCrossings& out);

// The estimate of every output y[0..Block-1] of the record's current input and its error bound
// against the exact double sum before rounding; false where the processor or the record has no
// estimate (FIRFilterCrossings then sums every output exactly). For checks of the bound.
bool FIREstimate(const TFIRRec& rec, float* estimate, float* bound);
