// The ACARS printer on any message the framer could hand on: characters of seven bits with their
// parity verdicts, of every length, with each combination of the printer's options.
#include "FuzzTarget.h"

#include "ACARSPrinter.h"
#include "Acars.h"

namespace fuzz {

namespace {

// The options byte, then one byte per character: seven bits, and the top bit set for good parity.
Bytes Framed(uint8_t options, const std::vector<uint8_t>& chars)
{
    Bytes out = {options};
    for (uint8_t c : chars)
        out.push_back(static_cast<uint8_t>(c | 0x80));
    return out;
}

}  // namespace

std::vector<Seed> Seeds()
{
    using namespace siggen::acars;
    Message m;
    m.text = "M01AAB1234/FREE TEXT";
    Message bare;
    bare.label = "Q0";
    bare.ack = 'A';
    Message block;
    block.mode = 'E';
    block.blockId = 'A';
    block.text = "S12AXY0001";
    block.etb = true;
    return {{"message", Framed(0x1F, characters(m))},
            {"no-text", Framed(0x0F, characters(bare))},
            {"uplink-etb", Framed(0x10, characters(block))}};
}

void Run(const uint8_t* data, size_t size)
{
    if (size == 0)
        return;
    TACARSPrinter printer;
    const uint8_t options = data[0];
    printer.LabelsDetails = options & 1;
    printer.MessageNumberDetails = options & 2;
    printer.RegistrationDetails = options & 4;
    printer.FlightIdDetails = options & 8;
    printer.SyntaxCheck = options & 16;
    printer.FirstMessage = options & 32;
    std::string printed;
    printer.AddText = [&printed](const std::string& text, uint32_t, unsigned) { printed += text; };
    std::vector<TACARSFramer::TChar> text;
    for (size_t i = 1; i < size && text.size() < TACARSFramer::kMaxLength; ++i)
        text.push_back({static_cast<uint8_t>(data[i] & 0x7F), static_cast<uint8_t>(data[i] >> 7)});
    // The framer's buffer holds 256 characters whatever the message's length.
    std::array<TACARSFramer::TChar, TACARSFramer::kMaxLength> buffer{};
    std::copy(text.begin(), text.end(), buffer.begin());
    const bool shown = printer.PrintFrame(buffer.data(), static_cast<int>(text.size()));
    Check(shown || printed.empty(), "a refused message printed something");
}

}  // namespace fuzz
