#include "QelFIR.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "QelCPUDetect.h"
#include "QelFrameWalker.h"
#include "QelMathFunc.h"

namespace {

uint32_t roundUp(uint32_t n, uint32_t multiple) { return (n + multiple - 1) / multiple * multiple; }

// Taps are padded with zeros to whole groups of eight, the width of the vector loops.
constexpr uint32_t kTapGroup = 8;

int32_t toQ31(double v) {
    const double x = v * 2147483648.0;
    if (x > 2147483647.0) return INT32_MAX;
    if (x < -2147483648.0) return INT32_MIN;
    if (std::isnan(x)) return 0;
    return static_cast<int32_t>(x);  // truncation toward zero
}

// Inverse receiver response, as the impulse response g of T taps (centre 1), convolved into a.
void compensate(std::vector<double>& a, const double* table, uint32_t fs) {
    const uint32_t T = static_cast<uint32_t>(a.size());
    const uint32_t M = T / 2;
    // Table index of fs / 2; at least one interval, and frequencies past the table's end take
    // its last entry.
    uint64_t n64 = static_cast<uint64_t>(fs) * 2205 / 44100;
    const uint32_t n = n64 < 1 ? 1 : static_cast<uint32_t>(n64);
    auto G = [&](uint32_t j) {
        const double r = table[j < QelResponseEntries ? j : QelResponseEntries - 1];
        return r > 0.1 ? 1.0 / r : 10.0;
    };
    std::vector<double> inv(n + 1);
    for (uint32_t j = 0; j <= n; ++j) inv[j] = G(j);

    std::vector<double> g(T);
    for (uint32_t i = 0; i <= M; ++i) {
        double s = 0.0;
        for (uint32_t j = 0; j < n; ++j)
            s += inv[j] * std::cos(std::numbers::pi * i * j / n) + inv[j + 1] * std::cos(std::numbers::pi * i * (j + 1) / n);
        g[M - i] = g[M + i] = s / (2.0 * n);
    }
    const double centre = g[M];
    for (double& v : g) v /= centre;

    std::vector<double> out(T, 0.0);
    for (uint32_t k = 0; k < T; ++k) {
        double s = 0.0;
        for (uint32_t m = 0; m < T; ++m) {
            const int64_t idx = static_cast<int64_t>(M) + m - k;
            if (idx >= 0 && idx < static_cast<int64_t>(T)) s += g[m] * a[static_cast<size_t>(idx)];
        }
        out[k] = s;
    }
    a = std::move(out);
}

}  // namespace

TQelFIRKernel QelFIRKernelFor(uint8_t code) {
    switch (code) {
    case 8: case 9: return TQelFIRKernel::Pentium;
    case 10: case 11: case 17: case 18: case 19: return TQelFIRKernel::MMX;
    case 16: return TQelFIRKernel::K5;
    case 23: case 24: case 25: case 26: return TQelFIRKernel::Cyrix;
    default: return TQelFIRKernel::Generic;
    }
}

const char* QelFIRKernelName(TQelFIRKernel k) {
    switch (k) {
    case TQelFIRKernel::Pentium: return "FIRKernelPentium";
    case TQelFIRKernel::K5: return "FIRKernelK5";
    case TQelFIRKernel::Cyrix: return "FIRKernelCyrix";
    case TQelFIRKernel::MMX: return "FIRKernelMMX";
    default: return "FIRKernelGeneric";
    }
}

TQelFIR::TQelFIR() {
    kernel_ = QelFIRKernelFor(TQelCPUDetect::CurrentCode());
    const TQelSimd simd = QelSimdInUse();
    dot64Block_ = QelDot64BlockFor(simd);
    dotHi16Block_ = QelDotHi16BlockFor(simd);
    allocateInput();
    allocateTaps();
    NewFIRType();
}

void TQelFIR::allocateInput() {
    // History and block, then at least three (here a group's worth of) zero values to spare.
    input_ = std::vector<int32_t>(roundUp(tapsNum_ - 1 + bufferSize_ + kTapGroup, 4), 0);
    sums_.assign(bufferSize_, 0);
}

void TQelFIR::allocateTaps() {
    taps_ = std::vector<int32_t>(roundUp(tapsNum_, kTapGroup), 0);
    tapsHi_ = std::vector<int32_t>(taps_.size(), 0);
}

int32_t* TQelFIR::GetDataOutput() {
    if (output_.empty()) output_.assign(roundUp(bufferSize_, 4), 0);
    return output_.data();
}

void TQelFIR::SetTapsNum(uint32_t n) {
    n |= 1u;  // even counts go up to the next odd one, 0 to 1
    if (n == tapsNum_) return;
    tapsNum_ = n;
    allocateInput();
    allocateTaps();
    NewFIRType();
}

void TQelFIR::SetBufferSize(uint32_t n) {
    if (n == 0) n = 1;
    if (n == bufferSize_) return;
    bufferSize_ = n;
    allocateInput();
    output_ = {};
}

void TQelFIR::SetFIRType(TQelFIRType t) {
    if (t == firType_) return;
    firType_ = t;
    NewFIRType();
}

void TQelFIR::SetCompensType(TQelFIRCompensType t) {
    if (t == compensType_) return;
    compensType_ = t;
    NewFIRType();
}

void TQelFIR::SetCutOffHigh(uint32_t f) {
    if (f < 2) f = 2;
    if (static_cast<uint64_t>(f) * 2 > samplingRate_) f = samplingRate_ / 2;
    if (f == cutOffHigh_) return;
    cutOffHigh_ = f;
    if (cutOffLow_ >= f) cutOffLow_ = f - 1;
    NewFIRType();
}

void TQelFIR::SetCutOffLow(uint32_t f) {
    if (f == 0) f = 1;
    if (static_cast<uint64_t>(f) * 2 >= samplingRate_) f = samplingRate_ / 2 - 1;
    if (f == cutOffLow_) return;
    cutOffLow_ = f;
    if (f >= cutOffHigh_) cutOffHigh_ = f + 1;
    NewFIRType();
}

void TQelFIR::SetSamplingRate(uint32_t fs) {
    if (fs < 4) fs = 4;
    if (fs == samplingRate_) return;
    samplingRate_ = fs;
    if (fs < static_cast<uint64_t>(cutOffHigh_) * 2) cutOffHigh_ = fs / 2;
    if (cutOffLow_ >= cutOffHigh_) cutOffLow_ = cutOffHigh_ - 1;
    NewFIRType();
}

std::vector<double> TQelFIR::design() const {
    const uint32_t T = tapsNum_;
    const uint32_t M = T / 2;
    const double fs = samplingRate_;
    std::vector<double> a(T, 0.0);
    const double pi = std::numbers::pi;

    switch (firType_) {
    case ftNone:
        a[M] = 1.0;
        break;
    case ftLowPass:
    case ftHighPass: {
        if (M == 0) {
            a[0] = firType_ == ftLowPass ? 1.0 : 0.0;
            break;
        }
        const double fc = firType_ == ftLowPass ? cutOffHigh_ : cutOffLow_;
        const double w = 2.0 * fc / fs;
        a[M] = w;
        for (uint32_t i = 1; i <= M; ++i) {
            const double r = static_cast<double>(i) / M;
            a[M - i] = a[M + i] = std::sin(i * w * pi) / (i * 3.87897017645854) * BesselI0(0.9425 * std::sqrt(1.0 - r * r));
        }
        double sum = a[M];
        for (uint32_t i = 1; i <= M; ++i) sum += 2.0 * a[M + i];
        for (double& v : a) v /= sum;
        if (firType_ == ftHighPass) {
            double side = 0.0;
            for (uint32_t i = 0; i < M; ++i) side += a[i];
            a[M] = -2.0 * side;
        }
        break;
    }
    case ftBandPass: {
        if (M == 0) {
            a[0] = 1.0;
            break;
        }
        const double fL = cutOffLow_, fH = cutOffHigh_;
        const double b = pi * (fH - fL) / fs;
        const double c = pi * (fH + fL) / fs;
        a[M] = 2.0 * (fH - fL) / fs;
        for (uint32_t i = 1; i <= M; ++i) {
            const double r = static_cast<double>(i) / M;
            a[M - i] = a[M + i] = 2.0 * std::sin(i * b) * std::cos(i * c) / (i * 154.09027941489) *
                                  BesselI0(5.65326 * std::sqrt(1.0 - r * r));
        }
        double gain = a[M];
        for (uint32_t i = 1; i <= M; ++i) gain += 2.0 * a[M + i] * std::cos(i * c);
        for (double& v : a) v /= gain;
        break;
    }
    }

    if (const double* table = QelFIRResponseTable(compensType_)) compensate(a, table, samplingRate_);
    return a;
}

void TQelFIR::NewFIRType() {
    const std::vector<double> a = design();
    LoadTapsWith(a.data(), static_cast<uint32_t>(a.size()));
}

void TQelFIR::LoadTapsWith(const double* values, uint32_t count) {
    SetTapsNum(count);
    const uint32_t n = count < tapsNum_ ? count : tapsNum_;
    for (uint32_t i = 0; i < n; ++i) taps_[i] = toQ31(values[i]);
    // an even count was made odd: the taps past it are zero, up to the padding
    for (uint32_t i = n; i < taps_.size(); ++i) taps_[i] = 0;
    for (size_t i = 0; i < taps_.size(); ++i) tapsHi_[i] = taps_[i] >> 16;
}

void TQelFIR::StoreTapsInto(int32_t* dest) const { std::memcpy(dest, taps_.data(), tapsNum_ * sizeof(int32_t)); }

void TQelFIR::moveHistory(uint32_t frames) {
    std::memmove(input_.data(), input_.data() + frames, (tapsNum_ - 1) * sizeof(int32_t));
}

void TQelFIR::Filter(int32_t* out, uint32_t frames) {
    const int32_t* x = input_.data();
    const uint32_t n = static_cast<uint32_t>(taps_.size());
    uint64_t* sums = sums_.data();
    switch (kernel_) {
    case TQelFIRKernel::Generic:
        // upper 32 bits of the 64-bit sum
        dot64Block_(sums, x, taps_.data(), n, frames);
        for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<int32_t>(static_cast<int64_t>(sums[i]) >> 32);
        break;
    case TQelFIRKernel::Pentium:
    case TQelFIRKernel::K5:
    case TQelFIRKernel::Cyrix:
        // bits 31 to 62 of the 64-bit sum
        dot64Block_(sums, x, taps_.data(), n, frames);
        for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<int32_t>(static_cast<uint32_t>(sums[i] >> 31));
        break;
    case TQelFIRKernel::MMX:
        // the 32-bit sums, written straight to the output
        dotHi16Block_(reinterpret_cast<uint32_t*>(out), x, tapsHi_.data(), n, frames);
        break;
    }
    moveHistory(frames);
}

void TQelFIR::Slice(int32_t* out, uint32_t frames) {
    const int32_t* x = input_.data();
    const uint32_t n = static_cast<uint32_t>(taps_.size());
    if (kernel_ == TQelFIRKernel::MMX) {
        dotHi16Block_(reinterpret_cast<uint32_t*>(out), x, tapsHi_.data(), n, frames);
        for (uint32_t i = 0; i < frames; ++i) out[i] = out[i] >= 0;
    } else {
        uint64_t* sums = sums_.data();
        dot64Block_(sums, x, taps_.data(), n, frames);
        for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<int64_t>(sums[i]) >= 0;
    }
    moveHistory(frames);
}

void TQelFIR::Compute() { Filter(GetDataOutput(), bufferSize_); }

void TQelFIR::ComputeAndDataExtract() { Slice(GetDataOutput(), bufferSize_); }

template <typename Out, typename In>
bool TQelFIR::walk(Out* out, const In* in, int32_t count, int32_t stride, bool slice) {
    return QelWalkFrames(in, count, stride, bufferSize_, [&](const TQelFrameBlock<In>& b) {
        b.CopyQ31(GetDataInput());
        int32_t* results = QelResultsArea(out, [this] { return GetDataOutput(); });
        if (slice)
            Slice(results, b.frames);
        else
            Filter(results, b.frames);
        // results of 16-bit samples go back to the 16-bit scale; decisions stay 0/1
        const bool shift = !slice && (std::is_same_v<In, int16_t> || std::is_same_v<Out, int16_t>);
        QelStoreBlock(out, results, b.frames, shift);
        out += b.frames;
    });
}

bool TQelFIR::ProcessBuffer(int32_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, false); }
bool TQelFIR::ProcessBuffer(int32_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, false); }
bool TQelFIR::ProcessBuffer(int16_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, false); }
bool TQelFIR::ProcessBuffer(int16_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, false); }
bool TQelFIR::ProcessBufferADE(int32_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, true); }
bool TQelFIR::ProcessBufferADE(int32_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, true); }
bool TQelFIR::ProcessBufferADE(int16_t* out, const int32_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, true); }
bool TQelFIR::ProcessBufferADE(int16_t* out, const int16_t* in, int32_t count, int32_t stride) { return walk(out, in, count, stride, true); }
