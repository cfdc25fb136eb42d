#include "PacketDecoder.h"

#include "BlockOps.h"

#include <cmath>

namespace {

constexpr double kLowPass1 = 0.11791383219954649;   // 2600 Hz as 2f/fs
constexpr double kLowPass2 = 0.05442176870748299;   // 1200 Hz as 2f/fs
constexpr double kBandHigh = 0.034013605442176874;  // 1500 Hz as f/fs
constexpr double kBandLow = 0.018140589569160998;   // 800 Hz as f/fs

int64_t RoundEven(double v)
{
    return static_cast<int64_t>(std::nearbyint(v));
}

}  // namespace

TPacketDecoder::TPacketDecoder(TPacketOutput& out) : out_(out), hdlc_(*this)
{
    DesignLowPassFIR(lowPass1_, kBlock, 31, kLowPass1);
    DesignLowPassFIR(lowPass2_, kBlock, 31, kLowPass2);
    DesignBandPassFIR(bandPass_, kBlock, 101, kBandHigh, kBandLow);
}

std::unique_ptr<TPacketBlockDecoder> MakePacketDecoder(TPacketOutput& out)
{
    return std::make_unique<TPacketDecoder>(out);
}

void TPacketDecoder::DecodeBlock(const int16_t* block, bool mode300)
{
    if (mode300)
        Demod300(block);
    else
        Demod1200(block);
}

void TPacketDecoder::FrameReceived(const uint8_t* bytes, int32_t length, bool fcsGood)
{
    out_.FramePrinted(PrintFrame(bytes, length, fcsGood));
}

void TPacketDecoder::StatusText(const char* text)
{
    out_.StatusUpdate(text, false);
}

int32_t TPacketDecoder::FindCrossing(int32_t start, double& t) const
{
    const int32_t* y = bandPass_.Output;
    for (int32_t j = start < 0 ? 0 : start; j < kBlock - 2; ++j) {
        if (int64_t(y[j]) * y[j + 1] <= 0 && y[j + 1] != 0) {
            t = j - double(y[j]) / (double(y[j + 1]) - double(y[j]));
            return j;
        }
    }
    return -1;
}

bool TPacketDecoder::FindTones(double& f1, double& f2) const
{
    // Three successive crossings give two half periods; the first tone needs them roughly equal,
    // the second nearly equal and more than 100 Hz away from the first.
    int32_t start = 0;
    auto triple = [&](double& h1, double& h2) {
        double t1, t2, t3;
        const int32_t j1 = FindCrossing(start, t1);
        if (j1 < 0)
            return false;
        const int32_t j2 = FindCrossing(j1 + 1, t2);
        if (j2 < 0)
            return false;
        const int32_t j3 = FindCrossing(j2 + 1, t3);
        if (j3 < 0)
            return false;
        h1 = t2 - t1;
        h2 = t3 - t2;
        start = j3 + 1;
        return true;
    };
    double h1, h2;
    for (;;) {
        if (!triple(h1, h2))
            return false;
        f1 = kRate / (h1 + h2);
        if (0.7 * h2 <= h1 && h1 <= 1.3 * h2 && f1 > 500 && f1 < 2500)
            break;
    }
    for (;;) {
        if (!triple(h1, h2))
            return false;
        f2 = kRate / (h1 + h2);
        if (0.98 * h2 <= h1 && h1 <= 1.02 * h2 && f2 > 500 && f2 < 2500 && std::fabs(f1 - f2) > 100)
            return true;
    }
}

void TPacketDecoder::Demod300(const int16_t* block)
{
    int32_t* in = bandPass_.Input + kFIRBlockStart;
    for (int32_t n = 0; n < kBlock; ++n)
        in[n] = block[n];
    FIRFilter(bandPass_);
    const int32_t* y = bandPass_.Output;

    double f1 = 0, f2 = 0;
    if (!FindTones(f1, f2)) {
        lower_ = upper_ = 0;
        out_.StatusUpdate("Stand by", false);
        out_.TonesFound(0, 0);
        out_.StatusUpdate(nullptr, true);
        // The block's bits are dropped, but time goes on: the positions move with the block.
        prevOutput_ = y[kBlock - 1];
        prevCrossing_ = static_cast<float>(double(prevCrossing_) - kBlock);
        lastChange_ -= kBlock;
        return;
    }
    lower_ = std::min(f1, f2);
    upper_ = std::max(f1, f2);
    const double threshold = (f1 + f2) * 0.5;

    for (int32_t n = 0; n < kBlock; ++n) {
        const int32_t u = y[n], v = prevOutput_;
        if (int64_t(u) * v < 0 || (v == 0 && u != 0)) {
            const double w = n - double(v) / (double(u) - double(v)) - 1;
            const double x = prevCrossing_;
            const bool d = 22050.0 / (w - x) > threshold;
            // A change of the line state needs two equal decisions in a row.
            if (d != pending_ || d == line_) {
                pending_ = d;
            } else {
                hdlc_.HandleRun((RoundEven(x - double(lastChange_)) + 73) / 147);
                line_ = d;
                lastChange_ = RoundEven(x);
            }
            prevCrossing_ = static_cast<float>(w);
        }
        prevOutput_ = u;
    }
    out_.TonesFound(static_cast<int32_t>(RoundEven(lower_)), static_cast<int32_t>(RoundEven(upper_)));
    out_.StatusUpdate(nullptr, true);
    prevCrossing_ = static_cast<float>(double(prevCrossing_) - kBlock);
    lastChange_ -= kBlock;
}

void TPacketDecoder::Demod1200(const int16_t* block)
{
    // First difference, the first sample against the last of the block before.
    int32_t* in = lowPass1_.Input + kFIRBlockStart;
    in[0] = int32_t(block[0]) - prevRaw_;
    for (int32_t n = 1; n < kBlock; ++n)
        in[n] = int32_t(block[n]) - int32_t(block[n - 1]);
    prevRaw_ = block[kBlock - 1];
    // Low-pass, delay and multiply by the output seven samples earlier, low-pass: of the result the
    // clock reads only the signs.
    const int32_t last = discriminator_.Run(lowPass1_, lowPass2_, lastLow_, kBlock, lowPass2_.Output);
    const int32_t* q = lowPass2_.Output;

    // The clock acts only at a crossing (a change of sign, or a zero) and at its sampling instant:
    // the walk goes from one such sample to the next, the crossings marked first for the whole block.
    uint64_t crossings[CrossingWords(kBlock)];
    CrossingBits<TZeroCrossing::AtZero>(q, kBlock, prevOutput_, crossings);
    int32_t n = 0;
    while (n < kBlock) {
        const int32_t due = nextSampling_ >= n && nextSampling_ < kBlock ? int32_t(nextSampling_) : kBlock;
        n = NextBit(crossings, n, due);
        if (n >= kBlock)
            break;
        const int32_t before = n > 0 ? q[n - 1] : prevOutput_;
        const int32_t sign = before > 0 ? 1 : before < 0 ? -1 : 0;
        if (int64_t(sign) * q[n] < 0 || q[n] == 0) {
            // Pull the sampling instant towards the middle between crossings.
            const int64_t d = n - lastSampling_;
            if (d >= 0 && d <= 8)
                nextSampling_ = lastSampling_ + 35;
            else if (d >= 9 && d <= 17)
                nextSampling_ = lastSampling_ + 36;
            else if (d == 18)
                nextSampling_ = lastSampling_ + 37;
            else if (d >= 19 && d <= 27)
                nextSampling_ = lastSampling_ + 38;
            else if (d >= 28 && d <= 36)
                nextSampling_ = lastSampling_ + 39;
        }
        if (n == nextSampling_) {
            const bool level = q[n] > 0;
            if (level != line_) {
                hdlc_.HandleRun((nextSampling_ - lastChange_ + 18) / 37);
                lastChange_ = nextSampling_;
                line_ = level;
            }
            lastSampling_ = nextSampling_;
            nextSampling_ += 37;
        }
        ++n;
    }
    prevOutput_ = last;
    lastSampling_ -= kBlock;
    nextSampling_ -= kBlock;
    lastChange_ -= kBlock;
}
