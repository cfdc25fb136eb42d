#include "Acars.h"

#include "Fsk.h"

#include <cmath>

namespace siggen::acars {

std::vector<uint8_t> characters(const Message& m)
{
    std::vector<uint8_t> c;
    c.push_back(kSOH);
    c.push_back(static_cast<uint8_t>(m.mode));
    std::string address = m.address.substr(0, 7);
    address.resize(7, ' ');
    c.insert(c.end(), address.begin(), address.end());
    c.push_back(m.ack);
    std::string label = m.label.substr(0, 2);
    label.resize(2, ' ');
    c.insert(c.end(), label.begin(), label.end());
    c.push_back(static_cast<uint8_t>(m.blockId));
    c.push_back(kSTX);
    c.insert(c.end(), m.text.begin(), m.text.end());
    c.push_back(m.etb ? kETB : kETX);
    for (auto& ch : c)
        ch &= 0x7F;
    return c;
}

uint16_t blockCheck(const std::vector<uint8_t>& data)
{
    uint16_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

void appendCharacter(std::vector<uint8_t>& bits, uint8_t c)
{
    int ones = 0;
    for (int i = 0; i < 7; ++i) {
        const uint8_t b = (c >> i) & 1;
        ones += b;
        bits.push_back(b);
    }
    bits.push_back(ones % 2 ? 0 : 1);
}

namespace {

void appendByte(std::vector<uint8_t>& bits, uint8_t b)
{
    for (int i = 0; i < 8; ++i)
        bits.push_back((b >> i) & 1);
}

} // namespace

std::vector<uint8_t> frameBits(const Message& m, int preKeyBits)
{
    std::vector<uint8_t> bits(static_cast<size_t>(preKeyBits > 0 ? preKeyBits : 0), 1);
    for (uint8_t c : {uint8_t('+'), uint8_t('*'), kSYN, kSYN})
        appendCharacter(bits, c);
    const std::vector<uint8_t> chars = characters(m);
    for (uint8_t c : chars)
        appendCharacter(bits, c);
    const uint16_t bcs = blockCheck(std::vector<uint8_t>(chars.begin() + 1, chars.end()));
    appendByte(bits, static_cast<uint8_t>(bcs & 0xFF));
    appendByte(bits, static_cast<uint8_t>(bcs >> 8));
    appendCharacter(bits, kDEL);
    return bits;
}

Samples modulate(const std::vector<uint8_t>& bits, uint32_t rate, double amplitude, size_t leadSamples)
{
    // A bit that repeats the one before it is sent as 2400 Hz, a change as 1200 Hz.
    Bits tones;
    tones.reserve(bits.size());
    uint8_t before = 1;
    for (uint8_t b : bits) {
        tones.push_back(b == before ? 1 : 0);
        before = b;
    }
    Samples out;
    appendSilence(out, leadSamples);
    Samples signal;
    FskModulator(rate, static_cast<uint32_t>(kBitRate), 2400.0, 1200.0, amplitude).modulate(signal, tones);
    out.insert(out.end(), signal.begin(), signal.end());
    return out;
}

}  // namespace siggen::acars
