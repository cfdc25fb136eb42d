#include "ACARSPrinter.h"
#include "ACARSTables.h"
#include <algorithm>

namespace {

constexpr uint8_t kSOH = 0x01, kSTX = 0x02, kETX = 0x03, kACK = 0x06, kNAK = 0x15, kETB = 0x17;

} // namespace

void TACARSPrinter::add(const std::string& s, uint32_t colour, unsigned style)
{
    if (AddText)
        AddText(s, colour, style);
}

// Characters from..to inclusive, each its own item, red where its parity failed.
void TACARSPrinter::chars(const TACARSFramer::TChar* text, int from, int to)
{
    for (int i = from; i <= to; ++i)
        add(std::string(1, char(text[i].Value)), text[i].Parity ? kCharColour : kBadColour, kBold);
}

void TACARSPrinter::describe(const char* description)
{
    if (description)
        add(std::string(" - ") + description, kDescriptionColour, kBold | kItalic);
}

bool TACARSPrinter::PrintFrame(const TACARSFramer::TChar* text, int len)
{
    if (!text || len < 14 || len > TACARSFramer::kMaxLength)
        return false;
    if (SyntaxCheck) {
        const uint8_t last = text[len - 1].Value;
        if (text[0].Value != kSOH || text[13].Value != kSTX || (text[9].Value != kACK && text[9].Value != kNAK) ||
            (last != kETX && last != kETB))
            return false;
    }
    if (FirstMessage)
        FirstMessage = false;
    else
        add("\r\n\r\n", kLabelColour, 0);
    if (LogDateTime)
        LogDateTime();

    add("ACARS Mode: ", kLabelColour, kItalic);
    chars(text, 1, 1);
    add("  Aircraft registration: ", kLabelColour, kItalic);
    chars(text, 2, 8);
    if (RegistrationDetails) {
        uint8_t reg[6];
        for (int i = 0; i < 6; ++i)
            reg[i] = text[3 + i].Value;
        describe(acars::RegistrationCountry(reg, 6));
    }
    add("  Acknowledge: ", kLabelColour, kItalic);
    add(text[9].Value == kACK ? "Yes" : "No", text[9].Parity ? kCharColour : kBadColour, kBold);
    add("\r\nMessage label: ", kLabelColour, kItalic);
    chars(text, 10, 11);
    if (LabelsDetails) {
        const char* meaning = acars::LabelMeaning(text[10].Value, text[11].Value);
        describe(meaning ? meaning : "Unknown");
    }
    add("  Block id: ", kLabelColour, kItalic);
    chars(text, 12, 12);
    if (len <= 14)
        return true;
    add("\r\nMessage no: ", kLabelColour, kItalic);
    chars(text, 14, std::min(17, len - 2));
    if (MessageNumberDetails)
        describe(acars::MessageNumberUnit(text[14].Value));
    if (len <= 18)
        return true;
    add("\r\nFlight id: ", kLabelColour, kItalic);
    chars(text, 18, std::min(23, len - 2));
    if (FlightIdDetails)
        describe(acars::AirlineName(text[18].Value, text[19].Value));
    if (len <= 24)
        return true;
    add("\r\nMessage: ", kLabelColour, kItalic);
    chars(text, 24, len - 2);
    return true;
}
