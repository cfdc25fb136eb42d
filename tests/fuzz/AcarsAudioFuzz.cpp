// ACARS off the air: 44100 Hz capture blocks through the discriminator, bit clock and framer, and
// every message the framer hands on through the printer with every option.
#include "FuzzTarget.h"

#include "ACARSDemod.h"
#include "ACARSPrinter.h"
#include "Acars.h"

namespace fuzz {

std::vector<Seed> Seeds()
{
    using namespace siggen::acars;
    Message m;
    m.text = "M01A";
    Message etb;
    etb.mode = 'E';
    etb.address = ".G-ABCD";
    etb.label = "_d";
    etb.ack = 'A';
    etb.etb = true;
    // Short pre-keys keep the captures, and so the fuzzer's inputs, small.
    return {{"message", Pcm16(modulate(frameBits(m, 16), 44100, 0.5, 3))},
            {"etb", Pcm16(modulate(frameBits(etb, 16), 44100, 0.5))}};
}

void Run(const uint8_t* data, size_t size)
{
    TACARSDemod demod;
    TACARSPrinter printer;
    printer.SyntaxCheck = size % 2;
    printer.LabelsDetails = printer.MessageNumberDetails = printer.RegistrationDetails = printer.FlightIdDetails = true;
    size_t items = 0;
    printer.AddText = [&items](const std::string&, uint32_t, unsigned) { ++items; };
    demod.Framer.OnMessage = [&](int len) {
        Check(len > 0 && len <= TACARSFramer::kMaxLength, "a message length beyond the text");
        printer.PrintFrame(demod.Framer.Text.data(), len);
    };
    const std::vector<int16_t> pcm = Samples16(data, size);
    for (size_t at = 0; at < pcm.size(); at += TACARSDemod::kBlock) {
        const size_t n = std::min<size_t>(TACARSDemod::kBlock, pcm.size() - at);
        demod.ProcessBuffer(pcm.data() + at, static_cast<int32_t>(n));
    }
}

}  // namespace fuzz
