#include "ACARSFramer.h"

#include "BlockOps.h"

namespace {

constexpr int64_t kBit8 = 147;  // 18.375 samples a bit, in eighths
constexpr int32_t kPhaseTable[18] = {15, 15, 16, 16, 16, 17, 17, 17, 18, 18, 19, 19, 19, 20, 20, 20, 21, 21};

// Floor of a / 8 for either sign.
int64_t floor8(int64_t a) { return a >= 0 ? a / 8 : -((-a + 7) / 8); }

} // namespace

int32_t TACARSFramer::PhaseStep8(int32_t d)
{
    if (d < 0 || d > 17)
        return -1;
    // The table's whole-sample corrections about the nominal 18, around the true bit length.
    return (kPhaseTable[d] - 18) * 8 + int32_t(kBit8);
}

void TACARSFramer::Process(const int32_t* q, int32_t count)
{
    if (!q || count <= 0)
        return;
    constexpr int32_t kPiece = 8192;
    if (count > kPiece) {
        for (int32_t at = 0; at < count; at += kPiece)
            Process(q + at, count - at < kPiece ? count - at : kPiece);
        return;
    }
    // Only two kinds of sample do anything: a crossing (the sign changed from the sample before, or
    // that one was zero) and the first sample at or after the next sampling instant. The walk goes
    // from one such sample to the next, the crossings marked first for the whole block.
    uint64_t crossings[CrossingWords(kPiece)];
    CrossingBits<TZeroCrossing::AfterZero>(q, count, previous_, crossings);
    int32_t previous = previous_;
    int32_t n = 0;
    while (n < count) {
        // The first sample due: the first n with n * 8 >= next8_.
        const int64_t dueAt = next8_ <= 0 ? 0 : (next8_ + 7) / 8;
        const int32_t limit = dueAt < count ? int32_t(dueAt) : count;
        n = NextBit(crossings, n, limit);
        previous = n > 0 ? q[n - 1] : previous;
        if (n >= count)
            break;
        const int32_t p = previous > 0 ? 1 : previous < 0 ? -1 : 0;
        const int32_t qn = q[n];
        const bool crossing = (p > 0 && qn < 0) || (p < 0 && qn > 0) || p == 0;
        // A crossing that comes when the sample is already due is measured from that sampling
        // instant. Read against the instant before, it would fall beyond the table, and a clock
        // sampling right on the bit edges would never be pulled off them.
        const bool due = int64_t(n) * 8 >= next8_;
        if (crossing) {
            if (due)
                sample(qn);
            const int64_t d = floor8(int64_t(n) * 8 - last8_);
            if (d >= 0 && d <= 17)
                next8_ = last8_ + PhaseStep8(int32_t(d));
        } else if (due) {
            sample(qn);
        }
        previous = qn;
        ++n;
    }
    previous_ = previous;
    last8_ -= int64_t(count) * 8;
    next8_ -= int64_t(count) * 8;
}

void TACARSFramer::sample(int32_t qn)
{
    sync_ = (sync_ << 1) | (qn > 0 ? 1u : 0u);
    if ((sync_ & 0xFFFFFF) == kSync) {
        dataBit_ = 0;
        bitCount_ = 0;
        ones_ = 0;
        length_ = 0;
        parityErrors_ = 0;
        receiving_ = true;
        if (OnStatus)
            OnStatus(true);
        // The clock keeps its phase: the first data bit is sampled one bit after the sync's last.
    } else if (receiving_) {
        if (qn < 0)
            dataBit_ ^= 0x80;
        byte_ = uint8_t((byte_ >> 1) | dataBit_);
        ++bitCount_;
        if (dataBit_)
            ++ones_;
        if (bitCount_ == 8) {
            TChar& c = Text[length_];
            c.Value = byte_ & 0x7F;
            c.Parity = ones_ % 2 ? 1 : 0;
            if (!c.Parity)
                ++parityErrors_;
            if (length_ == kMaxLength - 1 || c.Value == 0x03 || c.Value == 0x17) {
                if ((parityErrors_ == 0 || !ParityFilter) && OnMessage)
                    OnMessage(length_ + 1);
                receiving_ = false;
                if (OnStatus)
                    OnStatus(false);
            }
            bitCount_ = 0;
            ones_ = 0;
            // At most 256: a message ends at its 256th character, and only a sync restarts reception.
            ++length_;
        }
    }
    last8_ = next8_;
    next8_ += kBit8;
}
