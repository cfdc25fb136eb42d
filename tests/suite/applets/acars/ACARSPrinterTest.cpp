// ACARS message printer: fields, colours, look-ups and their switches, short and long messages, and
// the syntax check.
#include <ACARSPrinter.h>
#include <ACARSTables.h>
#include <Acars.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using siggen::acars::Message;

struct Item {
    std::string text;
    uint32_t colour;
    unsigned style;
};

std::vector<TACARSFramer::TChar> chars(const std::vector<uint8_t>& c)
{
    std::vector<TACARSFramer::TChar> t;
    for (uint8_t v : c)
        t.push_back({uint8_t(v & 0x7F), 1});
    return t;
}

std::vector<TACARSFramer::TChar> message(const Message& m) { return chars(siggen::acars::characters(m)); }

struct Printed {
    std::vector<Item> items;
    bool accepted = false;
    int dateLines = 0;
    std::string all() const
    {
        std::string s;
        for (const auto& i : items)
            s += i.text;
        return s;
    }
};

Printed print(TACARSPrinter& p, const std::vector<TACARSFramer::TChar>& t, int len = -1)
{
    Printed out;
    p.AddText = [&](const std::string& s, uint32_t c, unsigned st) { out.items.push_back({s, c, st}); };
    p.LogDateTime = [&] { ++out.dateLines; };
    out.accepted = p.PrintFrame(t.data(), len < 0 ? int(t.size()) : len);
    return out;
}

TACARSPrinter allDetails()
{
    TACARSPrinter p;
    p.LabelsDetails = p.MessageNumberDetails = p.RegistrationDetails = p.FlightIdDetails = true;
    return p;
}

TEST(ACARSTables, SizesAndLookUps)
{
    EXPECT_EQ(acars::kRegistrationPrefixes.size(), 129u);
    EXPECT_EQ(acars::kLabels.size(), 79u);
    EXPECT_EQ(acars::kMessageNumberPrefixes.size(), 15u);
    EXPECT_EQ(acars::kAirlines.size(), 115u);
    auto reg = [](const std::string& s) {
        const char* d = acars::RegistrationCountry(reinterpret_cast<const uint8_t*>(s.data()), int(s.size()));
        return std::string(d ? d : "");
    };
    const struct { const char* after; const char* country; } regs[] = {
        {"G-ABCD", "United Kingdom"}, {"VPLAB ", "Antigua"}, {"VPLVX ", "British Virgin Islands"}, {"N12345", "United States"},
        {"A9C-AB", "Bahrain"},       {"A4O-AA", ""},        {"ZS-UAB", "South Africa"},           {"D-ABCD", "Germany"},
        {"QQQQQQ", ""},              {"C-GABC", "Canada"},   {"C2-ABC", "Nauru"}};
    for (auto r : regs)
        EXPECT_EQ(reg(r.after), r.country) << r.after;
    const struct { char a, b; const char* meaning; } labels[] = {
        {'_', 'j', "No information to transmit"}, {'_', 0x7F, "Demand Mode"}, {'H', '1', "Message to/from terminal"},
        {'Q', '0', "LinkTest"}, {':', ';', "Command change frequency"}, {'A', '1', "Deliver Oceanic clearence"}, {'Z', 'Z', ""}};
    for (auto l : labels) {
        const char* d = acars::LabelMeaning(uint8_t(l.a), uint8_t(l.b));
        EXPECT_EQ(std::string(d ? d : ""), l.meaning) << l.a << l.b;
    }
    EXPECT_STREQ(acars::MessageNumberUnit('M'), "Management Unit");
    EXPECT_STREQ(acars::MessageNumberUnit('J'), "Air Traffic Service Application Software");
    EXPECT_EQ(acars::MessageNumberUnit('Z'), nullptr);
    EXPECT_STREQ(acars::AirlineName('A', 'A'), "American Airlines");
    EXPECT_STREQ(acars::AirlineName('E', '1'), "Air Lingus");
    EXPECT_STREQ(acars::AirlineName('U', 'S'), "U.S. Air");
    // Blank codes name no airline.
    EXPECT_EQ(acars::AirlineName(' ', ' '), nullptr);
    EXPECT_EQ(acars::AirlineName('Z', 'Z'), nullptr);
}

// Seven rows name ranges of second letters; each range's two ends get the country, the letters
// either side of it do not (or get the exact prefix that names them).
TEST(ACARSTables, RangePrefixesCoverTheirSecondLetters)
{
    auto reg = [](const std::string& s) {
        const char* d = acars::RegistrationCountry(reinterpret_cast<const uint8_t*>(s.data()), int(s.size()));
        return std::string(d ? d : "");
    };
    const struct { const char* after; const char* country; } regs[] = {
        {"EI-ABC", "Ireland"},      {"EJ-ABC", "Ireland"},      {"EH-ABC", ""},            {"EK-ABC", ""},
        {"E1-ABC", ""},             {"EL-ABC", "Liberia"},
        {"LQ-ABC", "Argentina"},    {"LV-ABC", "Argentina"},    {"LP-ABC", ""},            {"LW-ABC", ""},
        {"PP-ABC", "Brazil"},       {"PT-ABC", "Brazil"},       {"PO-ABC", ""},            {"PU-ABC", ""},
        {"XA-ABC", "Mexico"},       {"XC-ABC", "Mexico"},       {"X@-ABC", ""},            {"XD-ABC", ""},
        {"XY-ABC", "Myanmar"},      {"XZ-ABC", "Myanmar"},      {"XX-ABC", ""},            {"X[-ABC", ""},
        {"ZK-ABC", "New Zealand"},  {"ZM-ABC", "New Zealand"},  {"ZJ-ABC", ""},            {"ZN-ABC", ""},
        {"ZS-ABC", "South Africa"}, {"ZU-ABC", "South Africa"}, {"ZR-ABC", ""},            {"ZV-ABC", ""},
        {"PZ-ABC", "Suriname"},      {"ZP-ABC", "Paraguay"},     {"XT-ABC", "Burkina Faso"}, {"Z", ""},
    };
    for (auto r : regs)
        EXPECT_EQ(reg(r.after), r.country) << r.after;
}

// Where a range and an exact prefix both name a registration, the exact prefix wins, whichever row
// comes first and however short the exact prefix is.
TEST(ACARSTables, ExactPrefixWinsOverARange)
{
    const std::vector<acars::TACARSRow> rows = {{"XA-C", "Range"}, {"XB", "Exact"}, {"Y", "Short"}, {"YA-Z", "Wide"}};
    auto reg = [&](const std::string& s) {
        const char* d = acars::RegistrationCountry(rows, reinterpret_cast<const uint8_t*>(s.data()), int(s.size()));
        return std::string(d ? d : "");
    };
    EXPECT_EQ(reg("XA-1"), "Range");
    EXPECT_EQ(reg("XB-1"), "Exact");
    EXPECT_EQ(reg("XC-1"), "Range");
    EXPECT_EQ(reg("YQ-1"), "Short");
    EXPECT_EQ(reg("X"), "");
}

TEST(ACARSPrinter, FieldsWithColoursAndDetails)
{
    Message m;
    m.address = ".G-ABCD";
    m.ack = siggen::acars::kACK;
    m.label = "H1";
    m.blockId = '5';
    m.text = "M01AAA1234Hello";
    TACARSPrinter p = allDetails();
    const Printed out = print(p, message(m));
    ASSERT_TRUE(out.accepted);
    EXPECT_EQ(out.all(), "ACARS Mode: 2  Aircraft registration: .G-ABCD - United Kingdom  Acknowledge: Yes"
                         "\r\nMessage label: H1 - Message to/from terminal  Block id: 5"
                         "\r\nMessage no: M01A - Management Unit"
                         "\r\nFlight id: AA1234 - American Airlines"
                         "\r\nMessage: Hello");
    EXPECT_EQ(out.dateLines, 1);
    for (const Item& i : out.items) {
        if (i.text.rfind(" - ", 0) == 0) {
            EXPECT_EQ(i.colour, 0x008000u) << i.text;
            EXPECT_EQ(i.style, 3u) << i.text;
        } else if (i.text.find(": ") != std::string::npos) {
            EXPECT_EQ(i.colour, 0xFF0000u) << i.text;
            EXPECT_EQ(i.style, 2u) << i.text;
        } else {
            EXPECT_EQ(i.colour, 0x000000u) << i.text;
            EXPECT_EQ(i.style, 1u) << i.text;
            if (i.text != "Yes") {
                EXPECT_EQ(i.text.size(), 1u) << "one item per character";
            }
        }
    }
    // A second message comes after a blue plain separator.
    const Printed second = print(p, message(m));
    ASSERT_FALSE(second.items.empty());
    EXPECT_EQ(second.items[0].text, "\r\n\r\n");
    EXPECT_EQ(second.items[0].colour, 0xFF0000u);
    EXPECT_EQ(second.items[0].style, 0u);
}

TEST(ACARSPrinter, DetailSwitchesAndMisses)
{
    Message m;
    m.address = ".QQ1234";
    m.label = "ZZ";
    m.text = "Z01A  1234TEXT";
    TACARSPrinter p = allDetails();
    std::string s = print(p, message(m)).all();
    EXPECT_NE(s.find("Message label: ZZ - Unknown"), std::string::npos);
    EXPECT_NE(s.find("registration: .QQ1234  Acknowledge: No"), std::string::npos) << "no country, nothing printed";
    EXPECT_NE(s.find("Message no: Z01A\r\n"), std::string::npos);
    EXPECT_NE(s.find("Flight id:   1234\r\n"), std::string::npos) << "a blank airline code names nothing";
    TACARSPrinter plain;
    plain.FirstMessage = true;
    s = print(plain, message(m)).all();
    EXPECT_EQ(s.find(" - "), std::string::npos);
    m.address = ".VPLAB ";
    TACARSPrinter reg = allDetails();
    EXPECT_NE(print(reg, message(m)).all().find(".VPLAB  - Antigua"), std::string::npos);
}

TEST(ACARSPrinter, ShortAndLongMessages)
{
    Message m;
    m.text = "";
    const auto base = message(m);  // 15 characters: SOH .. STX, ETX
    ASSERT_EQ(base.size(), 15u);
    const struct { std::string text; const char* tail; } cases[] = {
        {"", "Block id: 1\r\nMessage no: "},
        {"M", "Block id: 1\r\nMessage no: M"},
        {"M01", "Block id: 1\r\nMessage no: M01"},
        {"M01A", "\r\nMessage no: M01A\r\nFlight id: "},
        {"M01AXX123", "\r\nMessage no: M01A\r\nFlight id: XX123"},
        {"M01AXX1234", "\r\nFlight id: XX1234\r\nMessage: "},
        {"M01AXX1234A", "\r\nFlight id: XX1234\r\nMessage: A"},
    };
    for (const auto& c : cases) {
        m.text = c.text;
        TACARSPrinter p;
        const std::string s = print(p, message(m)).all();
        ASSERT_GE(s.size(), std::string(c.tail).size());
        EXPECT_EQ(s.substr(s.size() - std::string(c.tail).size()), c.tail) << c.text.size() + 15;
    }
    // Fourteen characters stop after the block id; fewer are refused.
    TACARSPrinter p;
    auto t = message(m);
    Printed out = print(p, t, 14);
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.all().substr(out.all().size() - 11), "Block id: 1");
    out = print(p, t, 13);
    EXPECT_FALSE(out.accepted);
    EXPECT_TRUE(out.items.empty());
    EXPECT_EQ(out.dateLines, 0);
    // 256 characters without a terminator: printed to the 255th, or dropped by the syntax check.
    m.text = std::string(300, 'Z');
    t = message(m);
    out = print(p, t, 256);
    EXPECT_TRUE(out.accepted);
    EXPECT_EQ(out.all().substr(out.all().find("Message: ") + 9), std::string(256 - 25, 'Z'));
    TACARSPrinter strict;
    strict.SyntaxCheck = true;
    EXPECT_FALSE(print(strict, t, 256).accepted);
}

TEST(ACARSPrinter, SyntaxCheck)
{
    Message m;
    m.text = "M01AXX1234OK";
    const auto good = message(m);
    const struct { int index; uint8_t value; bool accepted; } cases[] = {
        {-1, 0, true}, {0, 'X', false}, {13, 'X', false}, {9, 0x06, true}, {9, 'A', false}, {-2, 0x17, true}, {-2, '.', false}};
    for (auto c : cases) {
        auto t = good;
        if (c.index == -2)
            t.back().Value = c.value;
        else if (c.index >= 0)
            t[c.index].Value = c.value;
        TACARSPrinter p;
        p.SyntaxCheck = true;
        EXPECT_EQ(print(p, t).accepted, c.accepted) << c.index << " " << int(c.value);
        TACARSPrinter lax;
        EXPECT_TRUE(print(lax, t).accepted);
    }
}

TEST(ACARSPrinter, BadParityIsRed)
{
    Message m;
    m.ack = siggen::acars::kACK;
    m.text = "M01AXX1234PARITY";
    auto t = message(m);
    t[26].Parity = 0;  // the 'R'
    t[9].Parity = 0;   // the acknowledgement
    TACARSPrinter p;
    const Printed out = print(p, t);
    int red = 0;
    for (const Item& i : out.items)
        if (i.colour == 0x0000FFu) {
            ++red;
            EXPECT_TRUE(i.text == "R" || i.text == "Yes") << i.text;
            EXPECT_EQ(i.style, 1u);
        }
    EXPECT_EQ(red, 2);
}

} // namespace
