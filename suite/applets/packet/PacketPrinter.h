#pragma once
// The packet window's printer: one delivered frame becomes coloured text items (the AX.25 address
// path with its digipeaters, version, control field, protocol identifier, the NET/ROM routing
// broadcast or network and transport headers, then the data).
#include <cstdint>
#include <string>
#include <vector>

// One piece of output: text (bytes as received), colour 0x00BBGGRR, style bits (1 bold, 2 italic).
struct TPacketTextItem {
    std::string Text;
    uint32_t Color = 0;
    uint8_t Style = 0;

    bool operator==(const TPacketTextItem&) const = default;
};

namespace packetcolor {
constexpr uint32_t Black = 0x000000;
constexpr uint32_t Green = 0x008000;
constexpr uint32_t Red = 0x0000FF;
constexpr uint32_t Maroon = 0x000080;
constexpr uint32_t Blue = 0xFF0000;
}  // namespace packetcolor

// A decoded address: six characters (space-padded) and the raw SSID byte.
struct TPacketCall {
    char Call[6] = {' ', ' ', ' ', ' ', ' ', ' '};
    uint8_t Ssid = 0;
};

// Decodes the seven bytes at `pos`; false when they are not all there or a character has bit 0 set.
bool DecodeCall(const uint8_t* frame, int32_t length, int32_t pos, TPacketCall& call);

// Each non-blank character as its own item, then "-SSID" when the SSID is not 0.
void PrintCall(std::vector<TPacketTextItem>& out, const TPacketCall& call, uint32_t colour);

// The items of one frame (bytes without the FCS); none when the frame cannot be printed.
std::vector<TPacketTextItem> PrintFrame(const uint8_t* frame, int32_t length, bool fcsGood);
