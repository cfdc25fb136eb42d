#pragma once
// The records the SmartNet decoder passes around: one outbound word, one on-air call and one
// heard radio of the current system.
#include <cstdint>
#include <string>

// One outbound word: 10-bit command, 16-bit address (radio, talk group or system data), group flag.
struct TSmartNetOsw {
    uint16_t Command = 0;
    uint16_t Address = 0;
    uint8_t Group = 0;
    bool operator==(const TSmartNetOsw&) const = default;
};

// One call of the on-air list.
struct TSmartNetOnAirEntry {
    int32_t Identity = 0;  // the grant's address
    int32_t Channel = 0;   // the grant's command
    int32_t Age = 0;       // timer ticks since the last grant
    uint8_t Hour = 0, Minute = 0, Second = 0;
    uint8_t Group = 0;
};

// A radio heard on the current system, with the alias the user gave it.
struct TSmartNetHeardRadio {
    uint16_t Identity = 0;
    std::string Alias;  // at most 253 characters, ANSI bytes
    bool operator==(const TSmartNetHeardRadio&) const = default;
};

constexpr uint16_t kSmartNetNoSystem = 0xFFFF;
