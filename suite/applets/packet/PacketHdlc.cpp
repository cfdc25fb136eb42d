#include "PacketHdlc.h"

const std::array<uint16_t, 256>& TPacketHdlc::CrcTable()
{
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned j = 0; j < 256; ++j) {
            uint16_t crc = static_cast<uint16_t>(j);
            for (int i = 0; i < 8; ++i)
                crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
            t[j] = crc;
        }
        return t;
    }();
    return table;
}

uint16_t TPacketHdlc::Crc(const uint8_t* bytes, int32_t count)
{
    const auto& table = CrcTable();
    uint16_t crc = 0xFFFF;
    for (int32_t i = 0; i < count; ++i)
        crc = static_cast<uint16_t>(table[(bytes[i] ^ crc) & 0xFF] ^ (crc >> 8));
    return crc;
}

bool TPacketHdlc::CheckFCS()
{
    // A frame too short to hold a check sequence never passes.
    if (length_ < 2) {
        fcsGood_ = false;
        return false;
    }
    const uint16_t crc = Crc(frame_, length_ - 2);
    const uint16_t sent = static_cast<uint16_t>(frame_[length_ - 2] | (frame_[length_ - 1] << 8));
    fcsGood_ = sent == static_cast<uint16_t>(~crc);
    return fcsGood_;
}

void TPacketHdlc::ShiftBit(unsigned bit)
{
    // least significant bit first: each bit enters at the top and moves down
    byte_ = static_cast<uint8_t>((byte_ >> 1) | (bit << 7));
    if (++bitCount_ == 8) {
        frame_[length_++] = byte_;
        bitCount_ = 0;
        if (length_ >= kMaxFrame)
            receiving_.store(false, std::memory_order_relaxed);
    }
}

void TPacketHdlc::HandleRun(int64_t n)
{
    if (n == 7) {
        // The flag's leading zero is the one bit collected of the next byte when the frame ended
        // on a byte boundary; only a frame that holds an FCS and something for it to check is
        // delivered (shorter fragments between flags are common in noise).
        if (Receiving() && length_ >= 3 && bitCount_ == 1) {
            CheckFCS();
            sink_.FrameReceived(frame_, length_ - 2, fcsGood_);
        }
        receiving_.store(true, std::memory_order_relaxed);
        bitCount_ = 0;
        length_ = 0;
        sink_.StatusText("Receiving");
    } else if (n >= 8) {
        receiving_.store(false, std::memory_order_relaxed);
        sink_.StatusText("Stand by");
    } else if (n >= 1 && Receiving()) {
        for (int64_t i = 1; i < n && Receiving(); ++i)
            ShiftBit(1);
        // after five ones the zero is a stuffed bit
        if (n != 6 && Receiving())
            ShiftBit(0);
    }
}
