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
    for (int i = 0; i < 76; ++i) {
        const uint8_t bit = window[(i % 4) * 19 + i / 4];
        d[size_t(i)] = inverted ? uint8_t(1 - bit) : bit;
    }
    return d;
}

std::array<uint8_t, 38> SmartNetCorrect(std::array<uint8_t, 78> d)
{
    std::array<uint8_t, 38> out{};
    // Take each data bit's share out of the two parity bits it went into: what is left are syndromes.
    for (size_t k = 0; k < 38; ++k) {
        out[k] = d[2 * k];
        if (d[2 * k]) {
            d[2 * k] = 0;
            d[2 * k + 1] ^= 1;
            d[2 * k + 3] ^= 1;
        }
    }
    // A wrong data bit sets both of its syndromes; a wrong parity bit only one.
    for (size_t k = 0; k < 38; ++k) {
        if (d[2 * k + 1] && d[2 * k + 3]) {
            out[k] ^= 1;
            d[2 * k + 3] ^= 1;
        }
    }
    return out;
}

uint16_t SmartNetCheckBits(const std::array<uint8_t, 38>& out)
{
    uint32_t a = 0x36E, b = 0x393;
    for (size_t k = 0; k < 27; ++k) {
        a = (a & 1) ? (a >> 1) ^ 0x225 : a >> 1;
        if (out[k])
            b ^= a;
    }
    return uint16_t(b & 0x3FF);
}

bool SmartNetCheck(const std::array<uint8_t, 38>& out)
{
    const uint16_t b = SmartNetCheckBits(out);
    for (int j = 0; j < 10; ++j)
        if (out[size_t(36 - j)] == ((b >> j) & 1))
            return false;
    return true;
}

void TSmartNetReceiver::Reset()
{
    SamplesPerBit = int32_t((kSampleRate + kBitRate / 2) / kBitRate);
    HalfBit = SamplesPerBit / 2;
    LastTransition = 0;
    SyncRegister = 0;
    FrameLength = 0;
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
    if (n == 1) {
        // 12, 12, 12, 13 samples: the nominal step, with the bit's quarter sample carried along.
        uint32_t step = uint32_t(SamplesPerBit);
        if (++quarters_ == 4) {
            quarters_ = 0;
            ++step;
        }
        LastTransition += step;
    } else if (n > 1) {
        LastTransition = position;
        quarters_ = 0;
    }
    // More than a frame and a sync of equal bits leaves the same state as any longer run.
    PushBits(uint32_t(std::min<uint64_t>(n, kFrameBits + 8)), value ? 1 : 0);
}

void TSmartNetReceiver::PushBits(uint32_t count, uint8_t bit)
{
    for (uint32_t i = 0; i < count; ++i) {
        SyncRegister = uint8_t((SyncRegister << 1) | bit);
        if (FrameLength == kFrameBits) {
            std::memmove(FrameWindow.data(), FrameWindow.data() + 1, kFrameBits - 1);
            FrameWindow[kFrameBits - 1] = bit;
        } else {
            FrameWindow[size_t(FrameLength++)] = bit;
        }
        if ((SyncRegister == kSync || SyncRegister == kSyncInverted) && FrameLength == kFrameBits)
            DecodeOsw();
    }
}

void TSmartNetReceiver::DecodeOsw()
{
    ++FrameCount;
    const std::array<uint8_t, 38> out =
        SmartNetCorrect(SmartNetDeinterleave(FrameWindow.data(), SyncRegister != kSync));
    const bool good = SmartNetCheck(out);
    FrameLength = 0;
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
