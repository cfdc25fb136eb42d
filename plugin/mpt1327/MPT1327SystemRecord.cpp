#include "MPT1327SystemRecord.h"

#include <cstring>

#include "FieldBytes.h"
#include "HeardRadioList.h"

using namespace fieldbytes;

namespace {

// Offsets in the record.
constexpr size_t oBase = 0, oControlFreq = 4, oOccupancy = 8, oScanTicks = 4104, oCount1 = 4108,
                 oCount2 = 4112, oCount3 = 4116, oReserved1 = 4120, oCount4 = 4268, oCount5 = 4272,
                 oReserved2 = 4276, oIdentity = 4424, oChannelSize = 4426, oDescription = 4428,
                 oPrefixMap = 4684, oAliases = 4700, oControlMap = 37468, oTrafficMap = 37596,
                 oFirstSeen = 37724;
constexpr size_t TextSize = 256;
// Ident, prefix, then the alias.
constexpr THeardRadioLayout kHeardRadio{MPT1327HeardRadioSize, 3};

}  // namespace

const TDatabaseLayout& MPT1327Layout()
{
    static const TDatabaseLayout layout = [] {
        TDatabaseLayout l;
        l.Header = "MPT1327 Database ";
        l.Version = '1';
        l.RecordSize = MPT1327RecordSize;
        l.OldRecordSize = oFirstSeen;
        l.IdentityOffset = oIdentity;
        l.TimeOffset = oFirstSeen;
        l.Lists = {{{oCount1, MPT1327HeardRadioSize, MPT1327HeardRadioSize, kHeardRadio.AliasText()},
                    {oCount2, 4, 2, {}},
                    {oCount3, 256, 256, {}},
                    {oCount4, 4, 2, {}},
                    {oCount5, 256, 256, {}}}};
        l.RecordTexts = {{oDescription, TextSize, 1}, {oAliases, TextSize, 128}};
        l.TempName = "MPT1327_Temp.MEM";
        l.OtherHeaders = {"Motorola Trunking Database "};  // the SmartNet decoder's database
        return l;
    }();
    return layout;
}

TStoredEntry EncodeMPT1327System(const TMPT1327SystemRecord& r)
{
    TStoredEntry e;
    e.Record.assign(MPT1327RecordSize, 0);
    uint8_t* p = e.Record.data();
    PutI32(p + oBase, r.BaseFrequency);
    PutI32(p + oControlFreq, r.ControlChannelFrequency);
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        PutI32(p + oOccupancy + 4 * i, r.Occupancy[i]);
    PutI32(p + oScanTicks, r.ScanTicks);
    PutI32(p + oCount1, static_cast<int32_t>(r.HeardRadios.size()));
    PutI32(p + oCount2, static_cast<int32_t>(r.List2.size() / 4));
    PutI32(p + oCount3, static_cast<int32_t>(r.List3.size() / 256));
    std::memcpy(p + oReserved1, r.Reserved1.data(), r.Reserved1.size());
    PutI32(p + oCount4, static_cast<int32_t>(r.List4.size() / 4));
    PutI32(p + oCount5, static_cast<int32_t>(r.List5.size() / 256));
    std::memcpy(p + oReserved2, r.Reserved2.data(), r.Reserved2.size());
    PutU16(p + oIdentity, r.SystemIdentity);
    PutU16(p + oChannelSize, r.ChannelSize);
    PutText(p + oDescription, TextSize, r.Description);
    std::memcpy(p + oPrefixMap, r.PrefixMap.data(), r.PrefixMap.size());
    for (size_t i = 0; i < r.GroupAliases.size(); ++i)
        PutText(p + oAliases + TextSize * i, TextSize, r.GroupAliases[i]);
    std::memcpy(p + oControlMap, r.ControlChannelMap.data(), r.ControlChannelMap.size());
    std::memcpy(p + oTrafficMap, r.TrafficChannelMap.data(), r.TrafficChannelMap.size());
    PutTime(p + oFirstSeen, r.FirstSeen);

    e.Lists[0] = EncodeHeardRadios(r.HeardRadios, kHeardRadio, [](uint8_t* h, const TMPT1327HeardRadio& radio) {
        PutU16(h, radio.Ident);
        h[2] = radio.Prefix;
    });
    e.Lists[1] = r.List2;
    e.Lists[2] = r.List3;
    e.Lists[3] = r.List4;
    e.Lists[4] = r.List5;
    return e;
}

TMPT1327SystemRecord DecodeMPT1327System(const TStoredEntry& e)
{
    TMPT1327SystemRecord r;
    if (e.Record.size() < MPT1327RecordSize)
        return r;
    const uint8_t* p = e.Record.data();
    r.BaseFrequency = GetI32(p + oBase);
    r.ControlChannelFrequency = GetI32(p + oControlFreq);
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        r.Occupancy[i] = GetI32(p + oOccupancy + 4 * i);
    r.ScanTicks = GetI32(p + oScanTicks);
    std::memcpy(r.Reserved1.data(), p + oReserved1, r.Reserved1.size());
    std::memcpy(r.Reserved2.data(), p + oReserved2, r.Reserved2.size());
    r.SystemIdentity = GetU16(p + oIdentity);
    r.ChannelSize = GetU16(p + oChannelSize);
    r.Description = GetText(p + oDescription, TextSize);
    std::memcpy(r.PrefixMap.data(), p + oPrefixMap, r.PrefixMap.size());
    for (size_t i = 0; i < r.GroupAliases.size(); ++i)
        r.GroupAliases[i] = GetText(p + oAliases + TextSize * i, TextSize);
    std::memcpy(r.ControlChannelMap.data(), p + oControlMap, r.ControlChannelMap.size());
    std::memcpy(r.TrafficChannelMap.data(), p + oTrafficMap, r.TrafficChannelMap.size());
    r.FirstSeen = GetTime(p + oFirstSeen);

    r.HeardRadios = DecodeHeardRadios<TMPT1327HeardRadio>(e.Lists[0], kHeardRadio,
                                                          [](const uint8_t* h, TMPT1327HeardRadio& radio) {
                                                              radio.Ident = GetU16(h);
                                                              radio.Prefix = h[2];
                                                          });
    r.List2 = e.Lists[1];
    r.List3 = e.Lists[2];
    r.List4 = e.Lists[3];
    r.List5 = e.Lists[4];
    return r;
}
