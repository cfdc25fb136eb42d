#pragma once
// SmartNet outbound-word receiver: turns the transition detector's events into runs of bits at
// 3600 bit/s, finds the frame sync (0xAC, or 0x53 on an inverted signal), and deinterleaves,
// corrects and checks each 84-bit frame into a 27-bit outbound word.
#include "SmartNetTypes.h"

#include <array>
#include <cstdint>
#include <string>

// Where the receiver's results go.
class TSmartNetWordSink {
public:
    virtual ~TSmartNetWordSink() = default;
    virtual void GoodWord(const TSmartNetOsw& word) = 0;
    virtual void BadFrame() = 0;
    // Every 100 frames: the share of good ones, e.g. "75%".
    virtual void AccuracyText(const std::string& text) = 0;
};

// The 27 corrected data bits of a good frame as an outbound word.
TSmartNetOsw SmartNetOswOfBits(const std::array<uint8_t, 38>& out);

// Deinterleaves 76 frame bits (inverted when the sync was 0x53).
std::array<uint8_t, 78> SmartNetDeinterleave(const uint8_t* window, bool inverted);
// Rate-1/2 error correction of data and parity bits taken alternately; returns the 38 data bits.
// A data bit is flipped when both syndrome bits that cover it are set, so any single error in a
// frame is repaired.
std::array<uint8_t, 38> SmartNetCorrect(std::array<uint8_t, 78> d);
// Whether out[27..36] carry the complement of the 10 check bits of out[0..26].
bool SmartNetCheck(const std::array<uint8_t, 38>& out);
// The 10 check bits of 27 data bits (before they are complemented on the air).
uint16_t SmartNetCheckBits(const std::array<uint8_t, 38>& out);

class TSmartNetReceiver {
public:
    static constexpr uint32_t kBitRate = 3600;
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr int kFrameBits = 84;
    static constexpr uint8_t kSync = 0xAC;
    static constexpr uint8_t kSyncInverted = 0x53;

    // The test-frame count may be the window's own, so that both see one count; else the receiver keeps one.
    explicit TSmartNetReceiver(TSmartNetWordSink& sink, int32_t* testFrames = nullptr)
        : TestFrames(testFrames ? *testFrames : ownTestFrames_), sink_(sink)
    {
    }

    // The window's start: samples per bit and half a bit from the fixed rate, everything else 0.
    void Reset();

    // The detector's event: the distance from the last reference becomes a run of equal bits.
    void FSKDecTransition(uint32_t position, int32_t value);
    void PushBits(uint32_t count, uint8_t bit);
    void DecodeOsw();

    int32_t SamplesPerBit = 12;
    int32_t HalfBit = 6;
    uint32_t LastTransition = 0;
    uint8_t SyncRegister = 0;
    // The frame window: FrameLength bits of 0 or 1, oldest first.
    const uint8_t* FrameWindow() const { return bits_.data() + start_; }
    int32_t FrameLength = 0;
    int32_t FrameCount = 0;
    int32_t AcceptedFrames = 0;

private:
    int32_t ownTestFrames_ = 0;

public:
    // Good frames for the input-channel test, which restarts it itself: the 100-frame restart of
    // the two counters above does not disturb a test window.
    int32_t& TestFrames;

private:
    TSmartNetWordSink& sink_;
    // The window lies at start_ in a longer buffer, where it moves up by one with each bit once
    // full; only when it reaches the end is it moved back to the start, once every few hundred bits.
    std::array<uint8_t, 512> bits_{};
    size_t start_ = 0;
    // Quarter samples carried between single-bit steps: a bit lasts 12.25 samples.
    uint32_t quarters_ = 0;
};
