#include "PacketPrinter.h"

#include <cstdio>

using namespace packetcolor;

bool DecodeCall(const uint8_t* frame, int32_t length, int32_t pos, TPacketCall& call)
{
    if (pos < 0 || length < pos + 7)
        return false;
    for (int i = 0; i < 6; ++i) {
        if (frame[pos + i] & 1)
            return false;
        call.Call[i] = static_cast<char>(frame[pos + i] >> 1);
    }
    call.Ssid = frame[pos + 6];
    return true;
}

void PrintCall(std::vector<TPacketTextItem>& out, const TPacketCall& call, uint32_t colour)
{
    for (char c : call.Call)
        if (c != ' ')
            out.push_back({std::string(1, c), colour, 0});
    const int ssid = (call.Ssid >> 1) & 15;
    if (ssid != 0)
        out.push_back({"-" + static_cast<const std::string&>(std::to_string(ssid)), colour, 0});
}

namespace {

constexpr int kMaxDigipeaters = 8;
constexpr int kMaxNodes = 11;
constexpr int kNodeEntry = 21;

bool Ext(const TPacketCall& c) { return c.Ssid & 1; }
bool Bit7(const TPacketCall& c) { return c.Ssid & 0x80; }

// An alias: six characters as they are, printed like a callsign without SSID.
TPacketCall AliasAt(const uint8_t* frame, int32_t pos)
{
    TPacketCall a;
    for (int i = 0; i < 6; ++i)
        a.Call[i] = static_cast<char>(frame[pos + i]);
    return a;
}

const char* PidName(uint8_t pid)
{
    switch (pid) {
    case 0x01: return " [ISO 8208/CCITT X.25 PLP]:";
    case 0x08: return " [Segmentation fragment]:";
    case 0xC3: return " [TEXNET datagram]:";
    case 0xC4: return " [Link Quality]:";
    case 0xCA: return " [Appletalk]:";
    case 0xCB: return " [Appletalk ARP]:";
    case 0xCC: return " [ARPA Internet]:";
    case 0xCD: return " [ARPA Address Resolution]:";
    case 0xCE: return " [ARPA Reverse Address Resolution]:";
    case 0xCF: return " [NET/ROM]:";
    case 0xF0: return " :";
    default: return nullptr;
    }
}

std::string ControlName(uint8_t c)
{
    if ((c & 3) == 3) {
        switch (c) {
        case 0x03: return "UI";
        case 0x0F: return "DM";
        case 0x2F: return "SABM";
        case 0x43: return "DISC";
        case 0x63: return "UA";
        case 0x87: return "FRMR";
        default: return "????";
        }
    }
    if ((c & 1) == 0)
        return "I";
    switch (c & 0x0F) {
    case 1: return "RR";
    case 5: return "RNR";
    case 9: return "REJ";
    default: return "???";
    }
}

// Returned const, so that "text" + Dec(n) copies rather than inserting at the front of a temporary.
const std::string Dec(unsigned v) { return std::to_string(v); }

struct TNodeEntry {
    TPacketCall Call, Alias, Neighbour;
    uint8_t Quality = 0;
};

}  // namespace

std::vector<TPacketTextItem> PrintFrame(const uint8_t* f, int32_t length, bool fcsGood)
{
    std::vector<TPacketTextItem> out;
    if (length <= 0)
        return out;

    // Address field: destination, source, then digipeaters while the extension bit is clear.
    TPacketCall dest, src;
    if (!DecodeCall(f, length, 0, dest) || !DecodeCall(f, length, 7, src) || Ext(dest))
        return out;
    std::vector<TPacketCall> digis;
    const TPacketCall* last = &src;
    int32_t pos = 14;
    while (!Ext(*last)) {
        if (static_cast<int>(digis.size()) == kMaxDigipeaters)
            return out;
        TPacketCall d;
        if (!DecodeCall(f, length, pos, d))
            return out;
        digis.push_back(d);
        last = &digis.back();
        pos += 7;
    }
    if (pos >= length)
        return out;

    uint8_t c = f[pos++];
    const int version = Bit7(dest) == Bit7(src) ? 1 : 2;
    const bool command = Bit7(dest);
    const bool pf = c & 0x10;
    c &= static_cast<uint8_t>(~0x10);
    const bool isUI = c == 0x03;
    const bool isI = (c & 1) == 0;
    const bool isS = (c & 3) == 1;

    int pid = -1;
    if (isUI || isI) {
        if (pos >= length)
            return out;
        pid = f[pos++];
    }

    // NET/ROM is parsed before anything is printed.
    std::vector<TNodeEntry> nodes;
    bool broadcast = false;
    TPacketCall senderAlias;
    bool netRomI = false;
    TPacketCall origin, target, originUser, originNode;
    uint8_t ttl = 0, b[4] = {0, 0, 0, 0}, opcode = 0, window = 0;
    bool showData = true;
    if (pid == 0xCF && isUI) {
        static const char kNodes[6] = {'N', 'O', 'D', 'E', 'S', ' '};
        bool isNodes = true;
        for (int i = 0; i < 6; ++i)
            isNodes = isNodes && dest.Call[i] == kNodes[i];
        if (isNodes && length - pos >= 7 && f[pos] == 0xFF) {
            broadcast = true;
            senderAlias = AliasAt(f, pos + 1);
            pos += 7;
            while (static_cast<int>(nodes.size()) < kMaxNodes && length - pos >= kNodeEntry) {
                TNodeEntry e;
                if (!DecodeCall(f, length, pos, e.Call) || !DecodeCall(f, length, pos + 13, e.Neighbour))
                    return out;
                e.Alias = AliasAt(f, pos + 7);
                e.Quality = f[pos + 20];
                nodes.push_back(e);
                pos += kNodeEntry;
            }
        }
    } else if (pid == 0xCF && isI) {
        if (length - pos < 20 || !DecodeCall(f, length, pos, origin) || !DecodeCall(f, length, pos + 7, target) ||
            Ext(origin) || Ext(target))
            return out;
        netRomI = true;
        ttl = f[pos + 14];
        for (int i = 0; i < 4; ++i)
            b[i] = f[pos + 15 + i];
        opcode = f[pos + 19] & 0x0F;
        pos += 20;
        if (opcode == 1 || opcode == 2) {
            if (pos >= length)
                return out;
            window = f[pos++];
        }
        if (opcode == 1) {
            if (!DecodeCall(f, length, pos, originUser) || !DecodeCall(f, length, pos + 7, originNode))
                return out;
            showData = false;
        }
    }

    const uint32_t a = fcsGood ? Green : Red;
    auto put = [&](std::string text, uint32_t colour, uint8_t style = 0) { out.push_back({std::move(text), colour, style}); };

    put("\r\n", Black);
    PrintCall(out, src, a);
    for (size_t k = 0; k < digis.size(); ++k) {
        if (!Bit7(digis[k]) && (k == 0 || Bit7(digis[k - 1])))
            put(" * ", a);
        put("\\", a);
        PrintCall(out, digis[k], a);
    }
    if (!digis.empty() && Bit7(digis.back()))
        put(" * ", a);
    put(">", a);
    PrintCall(out, dest, a);
    put("<V" + Dec(static_cast<unsigned>(version)) + " ", Maroon);
    put(ControlName(c), Maroon);
    if (version == 2) {
        put(command ? " C" : " R", Maroon);
        if (pf)
            put(command ? " P" : " F", Maroon);
    }
    if (isI)
        put(" S" + Dec((c >> 1) & 7), Maroon);
    if (isI || isS)
        put(" R" + Dec(c >> 5), Maroon);
    put(" > ", Maroon);
    if (!fcsGood)
        put(" [CRC Error]", Red, 2);
    if (pid >= 0) {
        if (const char* name = PidName(static_cast<uint8_t>(pid))) {
            put(name, Green);
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, " PID = 0x%02X", pid);
            put(hex, Green);
        }
    }
    if (broadcast && !nodes.empty()) {
        put("\r\nNode list from ", Blue);
        PrintCall(out, senderAlias, Blue);
        put(" callsign ", Blue);
        PrintCall(out, src, Blue);
        for (const TNodeEntry& e : nodes) {
            put("\r\n    Call ", Black);
            PrintCall(out, e.Call, Black);
            put(" Name ", Black);
            PrintCall(out, e.Alias, Black);
            put(" Path ", Black);
            PrintCall(out, e.Neighbour, Black);
            put(" Quality " + Dec(e.Quality), Black);
        }
    }
    if (netRomI) {
        put("\r\n\t[NET/ROM data] ", Blue);
        PrintCall(out, origin, Blue);
        put(" > ", Blue);
        PrintCall(out, target, Blue);
        put(" LifeTime = " + Dec(ttl) + "\r\n\t", Blue);
        const std::string cid = "Circuit = " + Dec(b[0]) + " ID = " + Dec(b[1]);
        switch (opcode) {
        case 0: put("Protocol = " + Dec(b[0]) + " Family = " + Dec(b[1]), Blue); break;
        case 1:
            put("Conn_Req " + cid + " ", Blue);
            PrintCall(out, originUser, Blue);
            put(" > ", Blue);
            PrintCall(out, target, Blue);
            put(" via ", Blue);
            PrintCall(out, originNode, Blue);
            put(" Window = " + Dec(window), Blue);
            break;
        case 2:
            put("Conn_Ack DestCir = " + Dec(b[0]) + " DestID = " + Dec(b[1]) + " SourceCir = " + Dec(b[2]) +
                    " SourceID = " + Dec(b[3]) + " Window = " + Dec(window),
                Blue);
            break;
        case 3: put("Disc_Req " + cid, Blue); break;
        case 4: put("Disc_Ack " + cid, Blue); break;
        case 5: put("Info     " + cid + " TxSeq = " + Dec(b[2]) + " RxSeq = " + Dec(b[3]), Blue); break;
        case 6: put("Info_Ack " + cid + " TxSeq = " + Dec(b[2]) + " RxSeq = " + Dec(b[3]), Blue); break;
        default: {
            static const char kHex[] = "0123456789ABCDEF";
            put(std::string("Unknown transport 0x0") + kHex[opcode & 15], Blue);
        }
        }
    }
    if (showData && pos < length) {
        put("\r\n", Black);
        for (int32_t i = pos; i < length; ++i)
            put(f[i] == 13 ? std::string("\r\n") : std::string(1, static_cast<char>(f[i])), Black);
    }
    return out;
}
