#include "QelDelayLine.h"

#include <cstring>

#include "QelCPUDetect.h"

TQelDelayKernel QelDelayKernelFor(uint8_t code) {
    switch (code) {
    case 8: case 9: case 10: case 11: case 17: case 18: case 19: return TQelDelayKernel::DelayMultiplyKernelFast;
    default: return TQelDelayKernel::DelayMultiplyKernel;
    }
}

TQelDelayLine::TQelDelayLine() {
    kernel_ = QelDelayKernelFor(TQelCPUDetect::CurrentCode());
    // Both kernels give the same products; the fast one takes the widest vector loop there is.
    mul_ = kernel_ == TQelDelayKernel::DelayMultiplyKernelFast ? QelMulWrapFor(QelSimdInUse()) : QelMulWrapScalar;
    allocateLine();
}

void TQelDelayLine::allocateLine() { line_ = std::vector<int32_t>(static_cast<size_t>(delay_) + bufferSize_, 0); }

int32_t* TQelDelayLine::GetDataOutput() {
    if (output_.empty()) output_.assign(bufferSize_, 0);
    return output_.data();
}

void TQelDelayLine::SetBufferSize(uint32_t n) {
    if (n == 0) n = 1;
    if (n == bufferSize_) return;
    bufferSize_ = n;
    allocateLine();
    output_ = {};
}

void TQelDelayLine::SetDelay(uint32_t n) {
    if (n == 0) n = 1;
    if (n == delay_) return;
    delay_ = n;
    allocateLine();
}

void TQelDelayLine::DelayAndMultiply() { DelayAndMultiply(GetDataOutput(), bufferSize_); }

void TQelDelayLine::DelayAndMultiply(int32_t* out, uint32_t frames) {
    // frame i of the block sits at line[i + Delay], the frame Delay places before it at line[i]
    mul_(out, line_.data(), line_.data() + delay_, frames);
    std::memmove(line_.data(), line_.data() + frames, delay_ * sizeof(int32_t));
}
