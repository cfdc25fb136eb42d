#include "DTMFDecoder.h"

#include <cmath>
#include <limits>

namespace {

constexpr int32_t kMethod1Frame = 256;
constexpr int32_t kMethod1Step = 128;
constexpr int32_t kMethod2Frame = 300;
constexpr int32_t kMethod2Step = 150;
constexpr int32_t kMethod1LineFrames = 70;
constexpr int32_t kMethod2LineFrames = 35;
constexpr int32_t kPrintFrame = 6;
constexpr double kMinLevel = 170;    // method 2: a tone's level must be above this
constexpr double kMaxTwist = 15;     // method 2: levels of the two tones differ by less
constexpr double kHarmonicGap = 15;  // method 2: the high tone's second harmonic lies this far below

// Method 1's spectrum bins of the tones (11025 / 256 Hz each).
constexpr int32_t kLowBins[4] = {16, 18, 20, 22};
constexpr int32_t kHighBins[4] = {28, 31, 34, 38};

}  // namespace

char DTMFSymbol(uint8_t code)
{
    switch (code) {
    case 0x11: return '1';
    case 0x12: return '4';
    case 0x14: return '7';
    case 0x18: return '*';
    case 0x21: return '2';
    case 0x22: return '5';
    case 0x24: return '8';
    case 0x28: return '0';
    case 0x41: return '3';
    case 0x42: return '6';
    case 0x44: return '9';
    case 0x48: return '#';
    case 0x81: return 'A';
    case 0x82: return 'B';
    case 0x84: return 'C';
    case 0x88: return 'D';
    default: return ' ';
    }
}

TDTMFDecoder::TDTMFDecoder()
{
    FFTInit(fft_, kMethod1Frame, fwKaiser);
    MakeWindow(dft_, kMethod2Frame, dwKaiser);
}

void TDTMFDecoder::ProcessBuffer(const int16_t* samples, size_t count)
{
    const auto n = static_cast<int64_t>(count);
    if (Method1) {
        for (int64_t start = 0; start + kMethod1Frame <= n; start += kMethod1Step)
            Debounce(Method1Symbol(samples + start));
    } else {
        // The frames of 300 that leave the buffer's last 248 samples or more unused: 11 in 2048.
        const int64_t frames = n < kMethod2Frame ? 0 : std::max<int64_t>(1, (n - kMethod2Frame) / kMethod2Step);
        for (int64_t f = 0; f < frames; ++f)
            Debounce(Method2Symbol(samples + f * kMethod2Step));
    }
}

char TDTMFDecoder::Method1Symbol(const int16_t* frame)
{
    for (int32_t i = 0; i < kMethod1Frame; ++i)
        fft_.Samples[i] = frame[i];
    FFTPower(fft_);
    const double* p = fft_.Power;
    // On equal powers the lower bin wins.
    int32_t low = 4;
    for (int32_t k = 5; k <= 24; ++k)
        if (p[k] > p[low])
            low = k;
    int32_t high = 25;
    for (int32_t k = 26; k <= 127; ++k)
        if (p[k] > p[high])
            high = k;
    // Digital silence: no ratio is taken of a zero power.
    if (p[high] <= 0)
        return ' ';
    uint8_t code = 0;
    for (int r = 0; r < 4; ++r)
        if (low == kLowBins[r])
            code |= static_cast<uint8_t>(1u << r);
    for (int c = 0; c < 4; ++c)
        if (high == kHighBins[c])
            code |= static_cast<uint8_t>(16u << c);
    const double ratio = p[low] / p[high];
    if (ratio > 3 || ratio < 1.0 / 3)
        code = 0;
    return DTMFSymbol(code);
}

char TDTMFDecoder::Method2Symbol(const int16_t* frame)
{
    for (int32_t i = 0; i < kMethod2Frame; ++i)
        dft_.Samples[i] = frame[i];
    // The eight tones and the four second harmonics of the high tones, each at its own frequency,
    // in one pass over the frame.
    double bins[12];
    for (int t = 0; t < 4; ++t) {
        bins[t] = kDTMFLowTones[t] * kMethod2Frame / kDTMFRate;
        bins[4 + t] = kDTMFHighTones[t] * kMethod2Frame / kDTMFRate;
        bins[8 + t] = 2 * kDTMFHighTones[t] * kMethod2Frame / kDTMFRate;
    }
    double power[12];
    GoertzelPowers(dft_, bins, 12, power);
    double level[12];
    for (int t = 0; t < 12; ++t) {
        // Digital silence: no logarithm is taken of a zero power.
        if (power[t] <= 0 && t < 8)
            return ' ';
        level[t] = power[t] > 0 ? 20 * std::log10(power[t] / kMethod2Frame) : -std::numeric_limits<double>::infinity();
    }
    double lowLevel = 0;
    int row = -1;
    for (int r = 0; r < 4; ++r)
        if (level[r] > lowLevel) {
            lowLevel = level[r];
            row = r;
        }
    double highLevel = 0;
    int column = -1;
    for (int c = 0; c < 4; ++c)
        if (level[4 + c] > highLevel) {
            highLevel = level[4 + c];
            column = c;
        }
    if (row < 0 || column < 0 || lowLevel <= kMinLevel || highLevel <= kMinLevel)
        return ' ';
    if (std::fabs(lowLevel - highLevel) >= kMaxTwist)
        return ' ';
    // The high tone's second harmonic must lie well below it.
    if (level[8 + column] >= highLevel - kHarmonicGap)
        return ' ';
    return DTMFSymbol(static_cast<uint8_t>((1u << row) | (16u << column)));
}

void TDTMFDecoder::Debounce(char symbol)
{
    // The count stops rising once far past every threshold, so a long silence cannot overflow it.
    if (counter_ < std::numeric_limits<int32_t>::max())
        ++counter_;
    if (symbol != last_) {
        counter_ = 1;
        break_ = false;
        last_ = symbol;
    }
    if (last_ != ' ' && counter_ == kPrintFrame) {
        if (OnSymbol)
            OnSymbol(last_);
        emptyLine_ = false;
    }
    const int32_t lineFrames = Method1 ? kMethod1LineFrames : kMethod2LineFrames;
    if (counter_ >= lineFrames && !break_ && !emptyLine_) {
        if (OnLineBreak)
            OnLineBreak();
        break_ = true;
        emptyLine_ = true;
    }
}

void TDTMFDecoder::ResetLine()
{
    break_ = true;
    emptyLine_ = true;
}
