// The frame printer as a table: frame bytes in, coloured text out. Items of one colour and style
// are joined for the comparison; the item boundaries that matter (one character of a callsign per
// item, line breaks as items of their own) are checked apart.
#include "Ax25.h"
#include "PacketPrinter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace ax = siggen::ax25;
using ax::Bytes;

char Code(uint32_t colour)
{
    switch (colour) {
    case packetcolor::Black: return 'k';
    case packetcolor::Green: return 'g';
    case packetcolor::Red: return 'r';
    case packetcolor::Maroon: return 'm';
    case packetcolor::Blue: return 'b';
    default: return '?';
    }
}

// "g:text|m:text|..." with runs of one colour and style joined; italic runs as "r/i:".
std::string Render(const std::vector<TPacketTextItem>& items)
{
    std::string out;
    uint32_t colour = 0xFFFFFFFF;
    int style = -1;
    for (const TPacketTextItem& it : items) {
        if (it.Color != colour || it.Style != style) {
            if (!out.empty())
                out += '|';
            out += Code(it.Color);
            if (it.Style == 2)
                out += "/i";
            else if (it.Style)
                out += "/" + std::to_string(it.Style);
            out += ':';
            colour = it.Color;
            style = it.Style;
        }
        out += it.Text;
    }
    return out;
}

std::string Print(const Bytes& f, bool good = true)
{
    return Render(PrintFrame(f.data(), static_cast<int32_t>(f.size()), good));
}

ax::Frame Ui(const std::string& from, const std::string& to, const std::string& text = "",
             std::vector<std::string> via = {})
{
    return ax::uiFrame(from, to, text, via);
}

ax::Frame WithVia(ax::Frame f, std::vector<bool> repeated)
{
    for (size_t i = 0; i < repeated.size(); ++i)
        f.via[i].bit7 = repeated[i];
    return f;
}

ax::Frame Control(ax::Frame f, uint8_t control, bool hasPid, bool command = true, int version = 2)
{
    f.control = control;
    f.hasPid = hasPid;
    f.command = command;
    f.version = version;
    return f;
}

ax::Frame Pid(ax::Frame f, uint8_t pid)
{
    f.pid = pid;
    return f;
}

Bytes NetRomI(uint8_t opcode, const Bytes& rest, uint8_t ttl = 6)
{
    ax::Frame f = Control(Ui("N1AAA", "N2BBB"), ax::iControl(2, 4), true);
    f.pid = 0xCF;
    ax::NetRomHeader h;
    h.origin = "N3ORG-1";
    h.destination = "N4DST";
    h.ttl = ttl;
    h.b[0] = 10;
    h.b[1] = 20;
    h.b[2] = 30;
    h.b[3] = 40;
    h.opcode = static_cast<uint8_t>(opcode | 0x80);  // the high bits are flags, not the opcode
    f.info = ax::netRomInfo(h, rest);
    return ax::encode(f);
}

Bytes Call(const std::string& c)
{
    return ax::encodeAddress(ax::parseStation(c), false);
}

Bytes Cat(std::vector<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const std::string kHead = "k:\r\n|g:";

TEST(PacketPrinter, FramesPrintAsTheirColouredText)
{
    struct Case {
        const char* what;
        Bytes frame;
        bool good;
        std::string expected;
    };
    const std::vector<ax::NodeEntry> two = {{"N5AAA-2", "ALPHA", "N6NBR", 200}, {"N7BBB", "BRAVO1", "N8NBR-15", 7}};
    Bytes nodes = ax::encode(ax::nodesFrame("N9SND", "HOME", two));
    Bytes partial = nodes;
    for (uint8_t b : Bytes{'A', 'B', 'C', 13, 'D'})
        partial.push_back(b);
    Bytes badEntry = nodes;
    badEntry[16 + 7 + 21 + 13] |= 1;  // the second entry's neighbour: a character with bit 0 set
    ax::Frame i = Control(Ui("N0CALL", "N1DEST", "data"), ax::iControl(3, 5, true), true, false);
    Bytes tooManyDigis = ax::encode(Ui("A", "B", "x", {"D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8"}));
    tooManyDigis[69] &= 0xFE;  // the eighth digipeater is not the last address
    const Bytes d9 = Call("D9");
    tooManyDigis.insert(tooManyDigis.begin() + 70, d9.begin(), d9.end());
    tooManyDigis[76] |= 1;
    Bytes eight = ax::encode(Ui("A", "B", "x", {"D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8"}));
    Bytes destExt = ax::encode(Ui("N0CALL", "CQ", "x"));
    destExt[6] |= 1;
    Bytes addressesOnly = ax::encode(Ui("A", "B"));
    addressesOnly.resize(14);
    Bytes shortHeader = NetRomI(5, {});
    shortHeader.pop_back();
    Bytes oddChar = ax::encode(Ui("N0CALL", "CQ", "x"));
    oddChar[9] |= 1;

    const std::vector<Case> cases = {
        {"UI, SSID 0 and data", ax::encode(Ui("N0CALL", "CQ", "Hi")), true, kHead + "N0CALL>CQ|m:<V2 UI C > |g: :|k:\r\nHi"},
        {"SSID 15 and 1", ax::encode(Ui("N0CALL-15", "CQ-1")), true, kHead + "N0CALL-15>CQ-1|m:<V2 UI C > |g: :"},
        {"first digipeater repeated, second not",
         ax::encode(WithVia(Ui("SRC", "DST", "", {"D1-1", "D2"}), {true, false})), true,
         kHead + "SRC\\D1-1 * \\D2>DST|m:<V2 UI C > |g: :"},
        {"no digipeater repeated", ax::encode(WithVia(Ui("SRC", "DST", "", {"D1", "D2"}), {false, false})), true,
         kHead + "SRC * \\D1\\D2>DST|m:<V2 UI C > |g: :"},
        {"every digipeater repeated", ax::encode(WithVia(Ui("SRC", "DST", "", {"D1", "D2"}), {true, true})), true,
         kHead + "SRC\\D1\\D2 * >DST|m:<V2 UI C > |g: :"},
        {"eight digipeaters", eight, true, kHead + "A * \\D1\\D2\\D3\\D4\\D5\\D6\\D7\\D8>B|m:<V2 UI C > |g: :|k:\r\nx"},
        {"version 1 (C bits equal)", ax::encode(Control(Ui("A1", "B2", "v1"), 0x13, true, true, 1)), true,
         kHead + "A1>B2|m:<V1 UI > |g: :|k:\r\nv1"},
        {"I response with final bit", ax::encode(i), true, kHead + "N0CALL>N1DEST|m:<V2 I R F S3 R5 > |g: :|k:\r\ndata"},
        {"RR command with poll", ax::encode(Control(Ui("A", "B"), ax::sControl(0x01, 2, true), false)), true,
         kHead + "A>B|m:<V2 RR C P R2 > "},
        {"RNR", ax::encode(Control(Ui("A", "B"), ax::sControl(0x05, 7), false, false)), true, kHead + "A>B|m:<V2 RNR R R7 > "},
        {"REJ", ax::encode(Control(Ui("A", "B"), ax::sControl(0x09, 0), false)), true, kHead + "A>B|m:<V2 REJ C R0 > "},
        {"unknown S", ax::encode(Control(Ui("A", "B"), 0x0D, false)), true, kHead + "A>B|m:<V2 ??? C R0 > "},
        {"SABM with poll", ax::encode(Control(Ui("A", "B"), ax::uControl(0x2F, true), false)), true, kHead + "A>B|m:<V2 SABM C P > "},
        {"DISC", ax::encode(Control(Ui("A", "B"), 0x43, false)), true, kHead + "A>B|m:<V2 DISC C > "},
        {"UA final", ax::encode(Control(Ui("A", "B"), 0x73, false, false)), true, kHead + "A>B|m:<V2 UA R F > "},
        {"DM", ax::encode(Control(Ui("A", "B"), 0x0F, false, false)), true, kHead + "A>B|m:<V2 DM R > "},
        {"FRMR with its data", ax::encode(Control(Pid(Ui("A", "B"), 'z'), 0x87, true, false)), true,
         kHead + "A>B|m:<V2 FRMR R > |k:\r\nz"},
        {"unknown U", ax::encode(Control(Ui("A", "B"), 0xEF, false)), true, kHead + "A>B|m:<V2 ???? C > "},
        {"PID X.25", ax::encode(Pid(Ui("A", "B"), 0x01)), true, kHead + "A>B|m:<V2 UI C > |g: [ISO 8208/CCITT X.25 PLP]:"},
        {"PID IP", ax::encode(Pid(Ui("A", "B"), 0xCC)), true, kHead + "A>B|m:<V2 UI C > |g: [ARPA Internet]:"},
        {"PID ARP", ax::encode(Pid(Ui("A", "B"), 0xCD)), true, kHead + "A>B|m:<V2 UI C > |g: [ARPA Address Resolution]:"},
        {"PID unknown", ax::encode(Pid(Ui("A", "B"), 0x0A)), true, kHead + "A>B|m:<V2 UI C > |g: PID = 0x0A"},
        {"PID unknown high", ax::encode(Pid(Ui("A", "B"), 0xBE)), true, kHead + "A>B|m:<V2 UI C > |g: PID = 0xBE"},
        {"bad FCS", ax::encode(Ui("N0CALL-7", "CQ", "Hi", {"RELAY"})), false,
         "k:\r\n|r:N0CALL-7 * \\RELAY>CQ|m:<V2 UI C > |r/i: [CRC Error]|g: :|k:\r\nHi"},
        {"carriage return in the data", ax::encode(Ui("A", "B", "one\rtwo\n")), true,
         kHead + "A>B|m:<V2 UI C > |g: :|k:\r\none\r\ntwo\n"},
        {"NODES with two entries", nodes, true,
         kHead + "N9SND>NODES|m:<V2 UI C > |g: [NET/ROM]:|b:\r\nNode list from HOME callsign N9SND"
                 "|k:\r\n    Call N5AAA-2 Name ALPHA Path N6NBR Quality 200"
                 "\r\n    Call N7BBB Name BRAVO1 Path N8NBR-15 Quality 7"},
        {"NODES with a partial entry", partial, true,
         kHead + "N9SND>NODES|m:<V2 UI C > |g: [NET/ROM]:|b:\r\nNode list from HOME callsign N9SND"
                 "|k:\r\n    Call N5AAA-2 Name ALPHA Path N6NBR Quality 200"
                 "\r\n    Call N7BBB Name BRAVO1 Path N8NBR-15 Quality 7\r\nABC\r\nD"},
        {"NODES without entries", ax::encode(ax::nodesFrame("N9SND", "HOME", {})), true,
         kHead + "N9SND>NODES|m:<V2 UI C > |g: [NET/ROM]:"},
        {"NET/ROM UI to another destination", ax::encode(Pid(Ui("A", "B", "\xFFHOME  "), 0xCF)), true,
         kHead + "A>B|m:<V2 UI C > |g: [NET/ROM]:|k:\r\n\xFFHOME  "},
        {"NET/ROM info", NetRomI(5, {'h', 'i'}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tInfo     Circuit = 10 ID = 20 TxSeq = 30 RxSeq = 40|k:\r\nhi"},
        {"NET/ROM info acknowledge", NetRomI(6, {}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tInfo_Ack Circuit = 10 ID = 20 TxSeq = 30 RxSeq = 40"},
        {"NET/ROM protocol", NetRomI(0, {}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tProtocol = 10 Family = 20"},
        {"NET/ROM connect request", NetRomI(1, Cat({{4}, Call("N5USR-3"), Call("N6NOD"), {'x'}})), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tConn_Req Circuit = 10 ID = 20 N5USR-3 > N4DST via N6NOD Window = 4"},
        {"NET/ROM connect acknowledge", NetRomI(2, {3, 'y'}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tConn_Ack DestCir = 10 DestID = 20 SourceCir = 30 SourceID = 40 Window = 3|k:\r\ny"},
        {"NET/ROM disconnect request", NetRomI(3, {}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tDisc_Req Circuit = 10 ID = 20"},
        {"NET/ROM disconnect acknowledge", NetRomI(4, {}, 255), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 255"
                 "\r\n\tDisc_Ack Circuit = 10 ID = 20"},
        {"NET/ROM unknown transport", NetRomI(0x0C, {}), true,
         kHead + "N1AAA>N2BBB|m:<V2 I C S2 R4 > |g: [NET/ROM]:|b:\r\n\t[NET/ROM data] N3ORG-1 > N4DST LifeTime = 6"
                 "\r\n\tUnknown transport 0x0C"},
        // nothing printed
        {"addresses only", addressesOnly, true, ""},
        {"UI without its PID", ax::encode(Control(Ui("A", "B"), 0x03, false)), true, ""},
        {"I without its PID", ax::encode(Control(Ui("A", "B"), 0x00, false)), true, ""},
        {"destination with the extension bit", destExt, true, ""},
        {"a character with bit 0 set", oddChar, true, ""},
        {"a ninth digipeater", tooManyDigis, true, ""},
        {"a digipeater cut short", Bytes(eight.begin(), eight.begin() + 30), true, ""},
        {"NODES entry that does not decode", badEntry, true, ""},
        {"NET/ROM header too short", shortHeader, true, ""},
        {"NET/ROM connect request without window", NetRomI(1, {}), true, ""},
        {"NET/ROM connect request with a bad callsign", NetRomI(1, Cat({{4}, Call("N5USR"), {0x41}})), true, ""},
        {"empty", Bytes{}, true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Print(c.frame, c.good), c.expected) << c.what;
}

TEST(PacketPrinter, CallsignsGoOutOneCharacterPerItemAndLineBreaksStandAlone)
{
    const Bytes f = ax::encode(ax::nodesFrame("N9SND-15", "HOME", {{"N5AAA", "AL", "N6NBR", 9}}));
    const auto items = PrintFrame(f.data(), static_cast<int32_t>(f.size()), true);
    ASSERT_GE(items.size(), 8u);
    const std::vector<std::string> head = {"\r\n", "N", "9", "S", "N", "D", "-15", ">"};
    for (size_t k = 0; k < head.size(); ++k)
        EXPECT_EQ(items[k].Text, head[k]);
    EXPECT_EQ(items[0].Color, packetcolor::Black);
    EXPECT_EQ(items[1].Color, packetcolor::Green);
    // The alias prints like a callsign: H, O, M, E as four blue items after the heading.
    size_t at = 0;
    while (at < items.size() && items[at].Text != "\r\nNode list from ")
        ++at;
    ASSERT_LT(at + 4, items.size());
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(items[at + 1 + k].Text, std::string(1, "HOME"[k]));
        EXPECT_EQ(items[at + 1 + k].Color, packetcolor::Blue);
    }
    // Data: every byte its own item, a carriage return as a line break of its own.
    const Bytes d = ax::encode(Ui("A", "B", "a\rb"));
    const auto di = PrintFrame(d.data(), static_cast<int32_t>(d.size()), true);
    ASSERT_GE(di.size(), 4u);
    const std::vector<std::string> tail = {"\r\n", "a", "\r\n", "b"};
    for (size_t k = 0; k < 4; ++k)
        EXPECT_EQ(di[di.size() - 4 + k].Text, tail[k]);
}

TEST(PacketPrinter, PrintCallShowsTheSsidOnlyWhenNotZero)
{
    struct Case {
        const char* station;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{{"N0CALL", "N0CALL"}, {"N0CALL-15", "N0CALL-15"}, {"AB-1", "AB-1"}, {"X-10", "X-10"}}) {
        const Bytes a = ax::encodeAddress(ax::parseStation(c.station), true);
        TPacketCall call;
        ASSERT_TRUE(DecodeCall(a.data(), 7, 0, call));
        std::vector<TPacketTextItem> out;
        PrintCall(out, call, packetcolor::Blue);
        std::string joined;
        for (const auto& it : out) {
            joined += it.Text;
            EXPECT_EQ(it.Color, packetcolor::Blue);
        }
        EXPECT_EQ(joined, c.expected);
    }
    TPacketCall call;
    const Bytes a = ax::encodeAddress(ax::parseStation("N0CALL"), true);
    EXPECT_FALSE(DecodeCall(a.data(), 6, 0, call));  // not all seven bytes there
    EXPECT_FALSE(DecodeCall(a.data(), 7, 1, call));
}

}  // namespace
