#pragma once
// Delay-and-multiply AFSK demodulator: band-pass filter, delay line, low-pass filter sliced at
// zero, giving one 0/1 level per input frame.
#include <cstdint>

#include "QelDelayLine.h"
#include "QelFIR.h"

class TQelAFSKDemod {
public:
    TQelAFSKDemod();
    TQelAFSKDemod(const TQelAFSKDemod&) = delete;
    TQelAFSKDemod& operator=(const TQelAFSKDemod&) = delete;

    uint32_t BPCutOffLow() const { return bandPass_.CutOffLow(); }
    uint32_t BPCutOffHigh() const { return bandPass_.CutOffHigh(); }
    uint32_t BPTapsNum() const { return bandPass_.TapsNum(); }
    uint32_t LPCutOff() const { return lowPass_.CutOffHigh(); }
    uint32_t LPTapsNum() const { return lowPass_.TapsNum(); }
    uint32_t Delay() const { return delayLine_.Delay(); }
    uint32_t SamplingRate() const { return bandPass_.SamplingRate(); }
    uint32_t BufferSize() const { return bandPass_.BufferSize(); }

    void SetBPCutOffLow(uint32_t f) { bandPass_.SetCutOffLow(f); }
    void SetBPCutOffHigh(uint32_t f) { bandPass_.SetCutOffHigh(f); }
    void SetBPTapsNum(uint32_t n) { bandPass_.SetTapsNum(n); }
    void SetLPCutOff(uint32_t f) { lowPass_.SetCutOffHigh(f); }
    void SetLPTapsNum(uint32_t n) { lowPass_.SetTapsNum(n); }
    void SetDelay(uint32_t n) { delayLine_.SetDelay(n); }
    void SetSamplingRate(uint32_t fs);
    void SetBufferSize(uint32_t n);

    const TQelFIR& BandPass() const { return bandPass_; }
    const TQelDelayLine& DelayLine() const { return delayLine_; }
    const TQelFIR& LowPass() const { return lowPass_; }

    int32_t* GetDataInput() { return bandPass_.GetDataInput(); }
    int32_t* GetDataOutput() { return lowPass_.GetDataOutput(); }

    void Compute() { Compute(GetDataOutput(), BufferSize()); }
    // Runs n frames (1 to BufferSize) written at GetDataInput through the three stages.
    void Compute(int32_t* out, uint32_t n);

    // One 0/1 level per frame of count elements of interleaved input, one frame every stride
    // elements; a last, shorter block writes only its own frames. Returns false (and does
    // nothing) for a stride of zero or less.
    bool ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride);

private:
    template <typename Out, typename In>
    bool walk(Out* out, const In* in, int32_t count, int32_t stride);
    void stages(int32_t* out, uint32_t frames, bool sixteenBitScale);

    TQelFIR bandPass_;
    TQelDelayLine delayLine_;
    TQelFIR lowPass_;
};
