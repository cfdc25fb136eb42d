#include "SmartNetReceiver.h"

#include <algorithm>
#include <cstring>

TSmartNetOsw SmartNetOswOfBits(const std::array<uint8_t, 38>& out)
{
    uint32_t address = 0, command = 0;
    for (int k = 0; k < 16; ++k)
        address = (address << 1) | uint32_t(1 - out[size_t(k)]);
    for (int k = 17; k < 27; ++k)
        command = (command << 1) | uint32_t(1 - out[size_t(k)]);
    TSmartNetOsw w;
    w.Address = uint16_t(address ^ 0x33C7);
    w.Group = uint8_t(1 - out[16]);
    w.Command = uint16_t(command ^ 0x32A);
    return w;
}

std::array<uint8_t, 78> SmartNetDeinterleave(const uint8_t* window, bool inverted)
{
    std::array<uint8_t, 78> d{};
    // Four rows of 19 were sent in turn; the data is read column by column: d[4 col + row].
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 19; ++col) {
            const uint8_t bit = window[row * 19 + col];
            d[size_t(col * 4 + row)] = inverted ? uint8_t(1 - bit) : bit;
        }
    return d;
}

// Every step below is taken for each bit, set or not, with the bit as the mask: the data bits of a
// frame are as often 0 as 1, and a branch on each would be mispredicted half the time.
std::array<uint8_t, 38> SmartNetCorrect(std::array<uint8_t, 78> d)
{
    std::array<uint8_t, 38> out{};
    // Take each data bit's share out of the two parity bits it went into: what is left are syndromes.
    for (size_t k = 0; k < 38; ++k) {
        out[k] = d[2 * k];
        const uint8_t set = d[2 * k] != 0;
        d[2 * k] = 0;
        d[2 * k + 1] ^= set;
        d[2 * k + 3] ^= set;
    }
    // A wrong data bit sets both of its syndromes; a wrong parity bit only one.
    for (size_t k = 0; k < 38; ++k) {
        const uint8_t both = uint8_t((d[2 * k + 1] != 0) & (d[2 * k + 3] != 0));
        out[k] ^= both;
        d[2 * k + 3] ^= both;
    }
    return out;
}

namespace {

// What each of the 27 data bits adds to the check bits: the register a := a >> 1, XOR 0x225 when a
// was odd, from 0x36E, taken after each step.
constexpr std::array<uint16_t, 27> kCheckSteps = [] {
    std::array<uint16_t, 27> steps{};
    uint32_t a = 0x36E;
    for (size_t k = 0; k < 27; ++k) {
        a = (a & 1) ? (a >> 1) ^ 0x225 : a >> 1;
        steps[k] = uint16_t(a);
    }
    return steps;
}();

}  // namespace

uint16_t SmartNetCheckBits(const std::array<uint8_t, 38>& out)
{
    uint32_t b = 0x393;
    for (size_t k = 0; k < 27; ++k)
        b ^= kCheckSteps[k] & (0u - uint32_t(out[k] != 0));
    return uint16_t(b & 0x3FF);
}

bool SmartNetCheck(const std::array<uint8_t, 38>& out)
{
    const uint16_t b = SmartNetCheckBits(out);
    bool equal = false;
    for (int j = 0; j < 10; ++j)
        equal |= out[size_t(36 - j)] == ((b >> j) & 1);
    return !equal;
}

void TSmartNetReceiver::Reset()
{
    SamplesPerBit = int32_t((kSampleRate + kBitRate / 2) / kBitRate);
    HalfBit = SamplesPerBit / 2;
    LastTransition = 0;
    SyncRegister = 0;
    FrameLength = 0;
    start_ = 0;
    FrameCount = 0;
    AcceptedFrames = 0;
    TestFrames = 0;
    quarters_ = 0;
}

void TSmartNetReceiver::FSKDecTransition(uint32_t position, int32_t value)
{
    // The product in 64 bits: the same count as 32-bit arithmetic up to 27 s without an event,
    // and the true run length beyond, where 32 bits would wrap.
    const uint64_t n = (uint64_t(position - LastTransition + uint32_t(HalfBit)) * kBitRate) / kSampleRate;
    // One bit: 12, 12, 12, 13 samples, the nominal step with the bit's quarter sample carried
    // along. More: the reference moves to the event. None: it stays. (Selected, not branched on:
    // one bit or two come about equally often.)
    const bool one = n == 1, more = n > 1;
    const uint32_t quarters = quarters_ + uint32_t(one);
    const bool carry = quarters == 4;
    quarters_ = more || carry ? 0 : quarters;
    LastTransition = more ? position : LastTransition + (one ? uint32_t(SamplesPerBit) + uint32_t(carry) : 0u);
    // More than a frame and a sync of equal bits leaves the same state as any longer run.
    PushBits(uint32_t(std::min<uint64_t>(n, kFrameBits + 8)), value ? 1 : 0);
}

void TSmartNetReceiver::PushBits(uint32_t count, uint8_t bit)
{
    // Most runs end before the window is full, where no sync can close a frame: they are appended
    // at once (a window that is not full always starts the buffer), eight bytes written whatever
    // the run's length.
    if (count <= 8 && bit <= 1 && FrameLength + int32_t(count) < kFrameBits) {
        const uint64_t run = bit * 0x0101010101010101u;
        std::memcpy(bits_.data() + FrameLength, &run, sizeof run);
        FrameLength += int32_t(count);
        SyncRegister = uint8_t((uint32_t(SyncRegister) << count) | (bit ? (1u << count) - 1 : 0u));
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        SyncRegister = uint8_t((SyncRegister << 1) | bit);
        if (FrameLength == kFrameBits) {
            // The oldest bit is dropped.
            if (start_ + kFrameBits == bits_.size()) {
                std::memmove(bits_.data(), bits_.data() + start_ + 1, kFrameBits - 1);
                start_ = 0;
            } else {
                ++start_;
            }
            bits_[start_ + kFrameBits - 1] = bit;
        } else {
            bits_[start_ + size_t(FrameLength++)] = bit;
        }
        if ((SyncRegister == kSync || SyncRegister == kSyncInverted) && FrameLength == kFrameBits)
            DecodeOsw();
    }
}

void TSmartNetReceiver::DecodeOsw()
{
    ++FrameCount;
    const std::array<uint8_t, 38> out =
        SmartNetCorrect(SmartNetDeinterleave(FrameWindow(), SyncRegister != kSync));
    const bool good = SmartNetCheck(out);
    FrameLength = 0;
    start_ = 0;
    if (good) {
        ++AcceptedFrames;
        ++TestFrames;
    }
    if (FrameCount >= 100) {
        sink_.AccuracyText(std::to_string(int64_t(AcceptedFrames) * 100 / FrameCount) + "%");
        FrameCount = 0;
        AcceptedFrames = 0;
    }
    if (good)
        sink_.GoodWord(SmartNetOswOfBits(out));
    else
        sink_.BadFrame();
}
