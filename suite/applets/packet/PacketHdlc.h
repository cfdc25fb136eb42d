#pragma once
// HDLC frame receiver of the packet decoder: turns the run lengths between NRZI line changes into
// frames (flags, bit stuffing, abort, length limit) and checks their frame check sequence.
#include <array>
#include <atomic>
#include <cstdint>

// Where the receiver's results go (on the decoding thread).
class TPacketHdlcSink {
public:
    virtual ~TPacketHdlcSink() = default;
    // A frame that ended on a byte boundary: its bytes without the FCS and the check's result.
    virtual void FrameReceived(const uint8_t* bytes, int32_t length, bool fcsGood) = 0;
    // "Receiving" after a flag, "Stand by" after an abort; the status bar is not repainted.
    virtual void StatusText(const char* text) = 0;
};

class TPacketHdlc {
public:
    static constexpr int32_t kMaxFrame = 331;  // a frame reaching this length is abandoned

    explicit TPacketHdlc(TPacketHdlcSink& sink) : sink_(sink) {}

    // n bit periods between two line changes: n - 1 ones and then a zero.
    void HandleRun(int64_t n);
    // Checks the frame held now; true when its last two bytes are the complement of the CRC.
    bool CheckFCS();

    // Read by the GUI thread's hand-over of audio, written here.
    bool Receiving() const { return receiving_.load(std::memory_order_relaxed); }
    int32_t Length() const { return length_; }
    bool FcsGood() const { return fcsGood_; }

    // Table of the reflected CRC-16 polynomial 0x8408; entry j = CRC of byte j from 0.
    static const std::array<uint16_t, 256>& CrcTable();
    // CRC over `count` bytes from 0xFFFF, not complemented.
    static uint16_t Crc(const uint8_t* bytes, int32_t count);

private:
    void ShiftBit(unsigned bit);

    TPacketHdlcSink& sink_;
    std::atomic<bool> receiving_{false};
    uint8_t frame_[kMaxFrame] = {};
    int32_t length_ = 0;
    int bitCount_ = 0;
    uint8_t byte_ = 0;
    bool fcsGood_ = false;
};
