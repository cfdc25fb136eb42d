#pragma once
// Multiplies every sample by the one Delay frames earlier (wrapping 32-bit products): the
// discriminator stage of the AFSK demodulator.
#include <cstdint>
#include <vector>

#include "QelSimd.h"

enum class TQelDelayKernel : uint8_t { DelayMultiplyKernel, DelayMultiplyKernelFast };
TQelDelayKernel QelDelayKernelFor(uint8_t cpuCode);

class TQelDelayLine {
public:
    TQelDelayLine();
    TQelDelayLine(const TQelDelayLine&) = delete;
    TQelDelayLine& operator=(const TQelDelayLine&) = delete;

    uint32_t BufferSize() const { return bufferSize_; }
    uint32_t Delay() const { return delay_; }
    TQelDelayKernel Kernel() const { return kernel_; }
    void SetBufferSize(uint32_t n);
    void SetDelay(uint32_t n);

    // Where the frames of the next block are written.
    int32_t* GetDataInput() { return line_.data() + delay_; }
    int32_t* GetDataOutput();

    void DelayAndMultiply();                               // BufferSize frames to the output block
    void DelayAndMultiply(int32_t* out, uint32_t frames);  // 1 <= frames <= BufferSize

private:
    void allocateLine();

    std::vector<int32_t> line_;  // Delay history values, then the block
    std::vector<int32_t> output_;
    uint32_t bufferSize_ = 1024;
    uint32_t delay_ = 10;
    TQelDelayKernel kernel_ = TQelDelayKernel::DelayMultiplyKernel;
    TQelMulWrap mul_ = QelMulWrapScalar;
};
