#include "QelResampler.h"

#include <algorithm>
#include <cstring>

#include "QelCPUDetect.h"
#include "QelFrameWalker.h"

namespace {
// Zero values kept after the block: the last outputs of a block may reach one frame past it,
// and the phase-table kernel reads whole groups of eight.
constexpr uint32_t kSpare = 16;

int32_t scaleOutput(uint64_t sum, uint32_t over) {
    // (S x Over) >> 31, truncated to 32 bits; the product wraps like the 64-bit register it models
    const int64_t scaled = static_cast<int64_t>(sum * over);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(scaled >> 31)));
}
}  // namespace

TQelResampleKernel QelResampleKernelFor(uint8_t code) {
    return code >= 17 && code <= 19 ? TQelResampleKernel::ResampleKernelK6 : TQelResampleKernel::ResampleKernel;
}

TQelResampler::TQelResampler() {
    kernel_ = QelResampleKernelFor(TQelCPUDetect::CurrentCode());
    dot64_ = QelDot64For(QelSimdInUse());
    filter_.SetBufferSize(1);
    filter_.SetCutOffHigh(100);
    filter_.SetFIRType(ftLowPass);
    history_ = filter_.TapsNum() / over_;
    replaceInput();
    designFor();
}

void TQelResampler::designFor() {
    // design rate 235.3 x min(Over, Under), so the cut-off is about 0.425 / min of the stuffed rate
    const double r = 235.3 * std::min(over_, under_);
    filter_.SetSamplingRate(r >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(r));
    copyTaps();
}

void TQelResampler::replaceInput() {
    input_ = std::vector<int32_t>(static_cast<size_t>(history_) + bufferSize_ + kSpare, 0);
    phase_ = 0;
}

void TQelResampler::copyTaps() {
    const uint32_t T = filter_.TapsNum();
    taps_.assign(T, 0);
    filter_.StoreTapsInto(taps_.data());
    // phase e holds tap[e + j x Over], j = 0, 1, ...
    phaseLength_ = ((T + over_ - 1) / over_ + 7) / 8 * 8;
    phases_.assign(static_cast<size_t>(over_ < T ? over_ : T) * phaseLength_, 0);
    for (uint32_t e = 0; e < over_ && e < T; ++e)
        for (uint32_t j = 0; e + static_cast<uint64_t>(j) * over_ < T; ++j)
            phases_[static_cast<size_t>(e) * phaseLength_ + j] = taps_[e + j * over_];
    phase_ = 0;
}

uint32_t TQelResampler::OutputCapacity() const {
    return static_cast<uint32_t>(static_cast<uint64_t>(bufferSize_) * over_ / under_ + 1);
}

int32_t* TQelResampler::GetDataOutput() {
    if (output_.empty()) output_.assign(OutputCapacity(), 0);
    return output_.data();
}

void TQelResampler::SetBufferSize(uint32_t n) {
    if (n == 0) n = 1;
    if (n == bufferSize_) return;
    bufferSize_ = n;
    replaceInput();
    output_ = {};
}

void TQelResampler::SetFIRTapsNum(uint32_t n) {
    if (n == 0) n = 1;
    if (n == filter_.TapsNum()) return;
    filter_.SetTapsNum(n);
    history_ = filter_.TapsNum() / over_;
    replaceInput();
    copyTaps();
}

void TQelResampler::SetOver(uint32_t n) {
    if (n == 0) n = 1;
    if (n == over_) return;
    over_ = n;
    output_ = {};
    history_ = filter_.TapsNum() / over_;
    replaceInput();
    designFor();
}

void TQelResampler::SetUnder(uint32_t n) {
    if (n == 0) n = 1;
    if (n == under_) return;
    under_ = n;
    output_ = {};
    designFor();
}

uint32_t TQelResampler::run(int32_t* out, uint32_t frames) {
    const uint32_t T = static_cast<uint32_t>(taps_.size());
    const uint32_t U = over_;
    const uint64_t limit = static_cast<uint64_t>(frames) * U;
    uint64_t c = phase_;
    uint32_t made = 0;
    const int32_t* buf = input_.data();
    while (c < limit) {
        const uint32_t e = static_cast<uint32_t>((U - c % U) % U);
        const uint64_t base = (c + e) / U;
        uint64_t s;
        if (kernel_ == TQelResampleKernel::ResampleKernelK6 && e < T) {
            s = dot64_(buf + base, phases_.data() + static_cast<size_t>(e) * phaseLength_, phaseLength_);
        } else {
            s = 0;
            for (uint64_t j = 0, k = e; k < T; ++j, k += U)
                s += static_cast<uint64_t>(static_cast<int64_t>(buf[base + j]) * taps_[k]);
        }
        out[made++] = scaleOutput(s, U);
        c += under_;
    }
    std::memmove(input_.data(), input_.data() + frames, history_ * sizeof(int32_t));
    phase_ = c - limit;
    return made;
}

int32_t TQelResampler::Compute() { return static_cast<int32_t>(run(GetDataOutput(), bufferSize_)); }

template <typename Out, typename In>
int32_t TQelResampler::walk(Out* out, const In* in, int32_t count, int32_t stride) {
    int64_t written = 0;
    QelWalkFrames(in, count, stride, bufferSize_, [&](const TQelFrameBlock<In>& b) {
        b.CopyQ31(GetDataInput());
        int32_t* results = QelResultsArea(out, [this] { return GetDataOutput(); });
        const uint32_t n = run(results, b.frames);
        QelStoreBlock(out, results, n, std::is_same_v<In, int16_t> || std::is_same_v<Out, int16_t>);
        out += n;
        written += n;
    });
    return static_cast<int32_t>(std::min<int64_t>(written, INT32_MAX));
}

int32_t TQelResampler::ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
int32_t TQelResampler::ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
int32_t TQelResampler::ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
int32_t TQelResampler::ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
