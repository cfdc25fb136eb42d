#pragma once
// Linear-phase FIR filter with a Kaiser-window design, optional receiver-response compensation,
// Q31 taps and a filter kernel chosen once for the processor. A second family of operations
// filters and slices: 1 where the filter sum is zero or positive, 0 where it is negative.
#include <cstdint>
#include <vector>

#include "QelSimd.h"

enum TQelFIRType : uint8_t { ftNone, ftLowPass, ftHighPass, ftBandPass };

enum TQelFIRCompensType : uint8_t {
    fcNone, fcUserDef, fcTavik1_A, fcTavik1_D, fcTavik1X_A, fcTavik1X_D, fcMerro1_A, fcMerro1_D,
    fcMerro1X_A, fcMerro1X_D, fcQuell1_A, fcQuell1_D, fcSorn1_A, fcSorn1_D, fcSorn1X_A, fcSorn1X_D,
};

// The kernel pairs (filter and slice) a processor code chooses.
enum class TQelFIRKernel : uint8_t { Generic, Pentium, K5, Cyrix, MMX };
TQelFIRKernel QelFIRKernelFor(uint8_t cpuCode);
const char* QelFIRKernelName(TQelFIRKernel kernel);

// Relative receiver audio response at j x 10 Hz, j = 0 to 2205; nullptr for types without one.
constexpr uint32_t QelResponseEntries = 2206;
const double* QelFIRResponseTable(TQelFIRCompensType type);

class TQelFIR {
public:
    TQelFIR();
    TQelFIR(const TQelFIR&) = delete;
    TQelFIR& operator=(const TQelFIR&) = delete;

    uint32_t TapsNum() const { return tapsNum_; }
    uint32_t BufferSize() const { return bufferSize_; }
    TQelFIRType FIRType() const { return firType_; }
    TQelFIRCompensType CompensType() const { return compensType_; }
    uint32_t SamplingRate() const { return samplingRate_; }
    uint32_t CutOffLow() const { return cutOffLow_; }
    uint32_t CutOffHigh() const { return cutOffHigh_; }
    TQelFIRKernel Kernel() const { return kernel_; }

    void SetTapsNum(uint32_t n);
    void SetBufferSize(uint32_t n);
    void SetFIRType(TQelFIRType t);
    void SetCompensType(TQelFIRCompensType t);
    void SetSamplingRate(uint32_t fs);
    void SetCutOffLow(uint32_t f);
    void SetCutOffHigh(uint32_t f);

    // Designs and loads the taps from the current properties.
    void NewFIRType();
    // Sets TapsNum to count (made odd) and loads count taps, saturated to Q31.
    void LoadTapsWith(const double* values, uint32_t count);
    void StoreTapsInto(int32_t* dest) const;

    // Where a caller writes a block of Q31 frames for Compute, and where results land.
    int32_t* GetDataInput() { return input_.data() + (tapsNum_ - 1); }
    int32_t* GetDataOutput();

    void Compute();                 // filter kernel over BufferSize frames to the output block
    void ComputeAndDataExtract();   // slice kernel over BufferSize frames to the output block

    // Kernels over F frames (1 <= F <= BufferSize) written at the input position; the history
    // moves on afterwards.
    void Filter(int32_t* out, uint32_t frames);
    void Slice(int32_t* out, uint32_t frames);

    // Filters count elements of interleaved input, one frame every stride elements, into one
    // value per frame. 16-bit samples are scaled to Q31 and the results back. Returns false
    // (and does nothing) for a stride of zero or less.
    bool ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride);
    // The same, storing the 0/1 decisions of the slice kernel.
    bool ProcessBufferADE(int32_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBufferADE(int32_t* out, const int16_t* in, int32_t count, int32_t stride);
    bool ProcessBufferADE(int16_t* out, const int32_t* in, int32_t count, int32_t stride);
    bool ProcessBufferADE(int16_t* out, const int16_t* in, int32_t count, int32_t stride);

private:
    template <typename Out, typename In>
    bool walk(Out* out, const In* in, int32_t count, int32_t stride, bool slice);
    void allocateInput();
    void allocateTaps();
    void moveHistory(uint32_t frames);
    std::vector<double> design() const;

    // Input buffer: TapsNum - 1 history values, then BufferSize frames, then zero spare values
    // so that the vector loops may read whole groups past the window.
    std::vector<int32_t> input_;
    std::vector<int32_t> output_;
    std::vector<int32_t> taps_;      // Q31, zero-padded
    std::vector<int32_t> tapsHi_;    // upper 16 bits of each tap, for the 16-bit kernel
    uint32_t tapsNum_ = 31;
    uint32_t bufferSize_ = 1024;
    TQelFIRType firType_ = ftNone;
    TQelFIRCompensType compensType_ = fcNone;
    uint32_t samplingRate_ = 11025;
    uint32_t cutOffLow_ = 1000;
    uint32_t cutOffHigh_ = 3000;
    TQelFIRKernel kernel_ = TQelFIRKernel::Generic;
    TQelDot64Block dot64Block_ = QelDot64BlockScalar;
    TQelDotHi16Block dotHi16Block_ = QelDotHi16BlockScalar;
    std::vector<uint64_t> sums_;  // a block's filter sums before they are scaled or sliced
};
