#pragma once
// Kaiser-windowed low-pass and band-pass design and block filtering of integer samples: the working
// record and its operations. The record is embedded in the applet object that uses it (packet
// decoder thread, ACARS decoder).
#include <cstdint>

constexpr int32_t kFIRMaxTaps = 401;
constexpr int32_t kFIRMaxBlock = 8192;
constexpr int32_t kFIRBlockStart = 401;  // input cell of the first new sample of a block
// Two samples within [-kFIRPairLimit - 1, kFIRPairLimit] never wrap when added as 32-bit integers,
// and their sum as doubles is exact; the delay-and-multiply products are clamped to +-kFIRPairLimit.
constexpr int32_t kFIRPairLimit = (1 << 30) - 1;

struct TFIRRec {
    // Cells 0..400: history, the last Taps-1 samples of the previous block end at cell 400;
    // cells 401..: the new block, written by the caller.
    int32_t Input[kFIRBlockStart + kFIRMaxBlock] = {};
    int32_t Output[kFIRMaxBlock] = {};  // the filtered block
    // Coef[Half] is the centre tap, Coef[Half-i] the tap at distance i on both sides.
    double Coef[kFIRMaxTaps] = {};
    int32_t Block = 0;  // samples per block
    int32_t Taps = 0;   // filter length, odd
    int32_t Half = 0;   // Taps div 2
};

// Low-pass with cut-off fc = 2 * f / fs and unit gain at 0 Hz. A block size outside 1..8192 changes
// nothing; a tap count that is even or outside 1..401 (or a design without gain) stores only the block
// size and keeps the earlier design whole. Returns whether the new design was stored.
bool DesignLowPassFIR(TFIRRec& rec, int32_t block, int32_t taps, double fc);

// Band-pass between fl and fh (band edges / fs) with unit gain at the band centre; limits as above.
bool DesignBandPassFIR(TFIRRec& rec, int32_t block, int32_t taps, double fh, double fl);

// Filters the Block samples written at Input[401..] into Output[0..Block-1] (a delay of Half samples)
// and keeps the last Taps-1 inputs as the history of the next block. Pairs of inputs are added as
// 32-bit integers, so callers keep the samples within +-2^30. Does nothing on an inconsistent record.
void FIRFilter(TFIRRec& rec);

// The history move alone, as FIRFilter makes it after a block: the last Taps-1 inputs of the block go
// to the cells before Input[401]. For the block forms that filter a record their own way.
void FIRMoveHistory(TFIRRec& rec);
