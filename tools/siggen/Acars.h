#pragma once
// ACARS air-ground messages as 2400 bit/s MSK audio: each bit is one cycle of 2400 Hz when it
// repeats the bit before it and half a cycle of 1200 Hz when it differs, phase continuous.
// Characters are 7 bits with odd parity, least significant bit first.
#include "Signal.h"

#include <cstdint>
#include <string>
#include <vector>

namespace siggen::acars {

constexpr double kBitRate = 2400.0;
constexpr uint8_t kSOH = 0x01, kSTX = 0x02, kETX = 0x03, kETB = 0x17, kACK = 0x06, kNAK = 0x15, kSYN = 0x16,
                  kDEL = 0x7F;

struct Message {
    char mode = '2';
    std::string address = ".N123AB";  // seven characters; shorter ones are padded with blanks
    uint8_t ack = kNAK;
    std::string label = "H1";         // two characters
    char blockId = '1';
    std::string text;                 // after STX: message number, flight id, free text
    bool etb = false;                 // end with ETB instead of ETX
};

// The characters from SOH to the terminator, as the receiver stores them.
std::vector<uint8_t> characters(const Message& m);
// Block check sequence over the characters from the mode to the terminator (CRC-16, reflected
// polynomial 0x8408, initial value 0).
uint16_t blockCheck(const std::vector<uint8_t>& fromModeToTerminator);

// One character as eight bits (seven data bits and odd parity), least significant bit first.
void appendCharacter(std::vector<uint8_t>& bits, uint8_t c);
// The whole transmission: pre-key (ones), "+", "*", two SYN, the characters, the block check
// (two bytes, eight bits each) and DEL.
std::vector<uint8_t> frameBits(const Message& m, int preKeyBits = 128);

// Phase-continuous MSK of the bits at the given rate, after `leadSamples` of silence (which moves the
// bits against the sampling grid); the first bit is compared with a 1 before it.
Samples modulate(const std::vector<uint8_t>& bits, uint32_t rate, double amplitude, size_t leadSamples = 0);

}  // namespace siggen::acars
