#pragma once
// Bit clock, sync search and character assembly of the ACARS decoder: takes the discriminator's
// output block by block, finds the 24-bit sync pattern, decodes the differential bits into 7-bit
// characters with odd parity and hands on each message that ends at ETX, ETB or its 256th character.
#include <array>
#include <cstdint>
#include <functional>

class TACARSFramer {
public:
    struct TChar {
        uint8_t Value = 0;   // 7 bits
        uint8_t Parity = 0;  // 1: odd parity (good)
    };
    static constexpr int kMaxLength = 256;
    static constexpr uint32_t kSync = 0x01A3A3;

    // The message being received; a finished one stays here until the next sync.
    std::array<TChar, kMaxLength> Text{};

    // Drop messages with a parity error instead of handing them on.
    bool ParityFilter = false;
    // A finished message of len characters (terminator included) that passed the parity filter.
    std::function<void(int len)> OnMessage;
    // Receiving (after a sync) or standing by (after a message ended).
    std::function<void(bool receiving)> OnStatus;

    // One block of discriminator output; the clock carries over to the next block.
    void Process(const int32_t* q, int32_t count);

    bool Receiving() const { return receiving_; }
    int Length() const { return length_; }
    int ParityErrors() const { return parityErrors_; }
    // Sampling instants in eighths of a sample, relative to the start of the next block.
    int64_t LastInstant8() const { return last8_; }
    int64_t NextInstant8() const { return next8_; }
    // Increment, in eighths of a sample, from a crossing d whole samples after the last sampling
    // instant to the next sampling instant; -1 for a d outside 0..17.
    static int32_t PhaseStep8(int32_t d);

private:
    void sample(int32_t qn);

    int32_t previous_ = 0;
    // A bit lasts 147/8 samples at 44100 Hz: the instants are kept in eighths so that the fraction
    // is not lost from bit to bit.
    int64_t last8_ = 0;
    int64_t next8_ = 0;
    uint32_t sync_ = 0;
    bool receiving_ = false;
    uint8_t dataBit_ = 0;  // 0x00 or 0x80
    uint8_t byte_ = 0;
    int bitCount_ = 0;
    int ones_ = 0;
    int length_ = 0;
    int parityErrors_ = 0;
};
