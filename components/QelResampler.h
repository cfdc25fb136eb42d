#pragma once
// Rational sampling-rate change by Over / Under with a polyphase FIR: only the outputs that survive
// the decimation are computed, each with only the taps that meet real (not stuffed) samples. The
// output phase carries over from call to call.
#include <cstdint>
#include <vector>

#include "QelFIR.h"
#include "QelSimd.h"

enum class TQelResampleKernel : uint8_t { ResampleKernel, ResampleKernelK6 };
TQelResampleKernel QelResampleKernelFor(uint8_t cpuCode);

class TQelResampler {
public:
    TQelResampler();
    TQelResampler(const TQelResampler&) = delete;
    TQelResampler& operator=(const TQelResampler&) = delete;

    uint32_t BufferSize() const { return bufferSize_; }
    uint32_t GetFIRTapsNum() const { return filter_.TapsNum(); }
    uint32_t Over() const { return over_; }
    uint32_t Under() const { return under_; }
    uint32_t History() const { return history_; }
    TQelResampleKernel Kernel() const { return kernel_; }
    const TQelFIR& Designer() const { return filter_; }

    void SetBufferSize(uint32_t n);
    void SetFIRTapsNum(uint32_t n);
    void SetOver(uint32_t n);
    void SetUnder(uint32_t n);

    int32_t* GetDataInput() { return input_.data() + history_; }
    int32_t* GetDataOutput();
    uint32_t OutputCapacity() const;  // values of the output block: the most one block gives

    // Runs the kernel over BufferSize frames written at GetDataInput; returns the outputs made.
    int32_t Compute();

    // Resamples count elements of interleaved input, one frame every stride elements, and
    // returns the number of values written to out. A stride of zero or less writes nothing.
    int32_t ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride);
    int32_t ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride);
    int32_t ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride);
    int32_t ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride);

private:
    template <typename Out, typename In>
    int32_t walk(Out* out, const In* in, int32_t count, int32_t stride);
    uint32_t run(int32_t* out, uint32_t frames);
    void replaceInput();
    void copyTaps();
    void designFor();

    TQelFIR filter_;  // designs the taps only
    uint32_t bufferSize_ = 1024;
    std::vector<int32_t> input_;   // history, the block, then zero spare values
    std::vector<int32_t> output_;
    std::vector<int32_t> taps_;
    std::vector<int32_t> phases_;  // taps regrouped by phase, each row padded with zeros
    uint32_t phaseLength_ = 0;
    uint32_t over_ = 1;
    uint32_t under_ = 1;
    uint64_t phase_ = 0;
    uint32_t history_ = 0;
    TQelResampleKernel kernel_ = TQelResampleKernel::ResampleKernel;
    TQelDot64 dot64_ = QelDot64Scalar;
};
