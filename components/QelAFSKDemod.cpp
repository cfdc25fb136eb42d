#include "QelAFSKDemod.h"

#include "QelFrameWalker.h"

TQelAFSKDemod::TQelAFSKDemod() {
    bandPass_.SetFIRType(ftBandPass);
    lowPass_.SetFIRType(ftLowPass);
    SetBufferSize(1024);
}

void TQelAFSKDemod::SetSamplingRate(uint32_t fs) {
    bandPass_.SetSamplingRate(fs);
    lowPass_.SetSamplingRate(fs);
}

void TQelAFSKDemod::SetBufferSize(uint32_t n) {
    bandPass_.SetBufferSize(n);
    delayLine_.SetBufferSize(n);
    lowPass_.SetBufferSize(n);
}

// Each stage writes straight into the next one's input area.
void TQelAFSKDemod::stages(int32_t* out, uint32_t frames, bool sixteenBitScale) {
    int32_t* delayed = delayLine_.GetDataInput();
    bandPass_.Filter(delayed, frames);
    if (sixteenBitScale)  // 16-bit input is filtered back at 16-bit scale so that the products fit
        for (uint32_t k = 0; k < frames; ++k) delayed[k] >>= 16;
    delayLine_.DelayAndMultiply(lowPass_.GetDataInput(), frames);
    lowPass_.Slice(out, frames);
}

void TQelAFSKDemod::Compute(int32_t* out, uint32_t n) {
    if (n == 0) return;
    if (n > BufferSize()) n = BufferSize();
    stages(out, n, false);
}

template <typename Out, typename In>
bool TQelAFSKDemod::walk(Out* out, const In* in, int32_t count, int32_t stride) {
    return QelWalkFrames(in, count, stride, BufferSize(), [&](const TQelFrameBlock<In>& b) {
        b.CopyQ31(bandPass_.GetDataInput());
        int32_t* levels = QelResultsArea(out, [this] { return lowPass_.GetDataOutput(); });
        stages(levels, b.frames, std::is_same_v<In, int16_t>);
        QelStoreBlock(out, levels, b.frames, false);
        out += b.frames;
    });
}

bool TQelAFSKDemod::ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
bool TQelAFSKDemod::ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
bool TQelAFSKDemod::ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
bool TQelAFSKDemod::ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride); }
