#include "SmartNetSystemRecord.h"

#include "FieldBytes.h"
#include "HeardRadioList.h"

#include <cstring>

using namespace fieldbytes;

namespace {

// Offsets in the record.
constexpr size_t oBase = 0, oControlFreq = 4, oOccupancy = 8, oTicks = 4104, oCountA = 4108, oCountB = 4112,
                 oCountC = 4116, oReserved1 = 4120, oCountD = 4252, oCountE = 4256, oReserved2 = 4260,
                 oIdentity = 4392, oChannelSize = 4394, oDescription = 4396, oControlMap = 4652,
                 oTrafficMap = 4780, oType = 4908, oReserved3 = 4909, oCreated = 4910, oReserved4 = 4926;
constexpr size_t kTextSize = 256;
// Identity, then the alias.
constexpr THeardRadioLayout kHeardRadio{kSmartNetHeardRadioSize, 2};

}  // namespace

const TDatabaseLayout& SmartNetLayout()
{
    static const TDatabaseLayout layout = [] {
        TDatabaseLayout l;
        l.Header = "Motorola Trunking Database ";
        l.Version = '1';
        l.RecordSize = kSmartNetRecordSize;
        l.OldRecordSize = 4912;
        l.IdentityOffset = oIdentity;
        l.TimeOffset = oCreated;
        l.Lists = {{{oCountA, kSmartNetHeardRadioSize, kSmartNetHeardRadioSize, kHeardRadio.AliasText()},
                    {oCountB, 2, 2, {}},
                    {oCountC, 256, 256, {}},
                    {oCountD, 2, 2, {}},
                    {oCountE, 256, 256, {}}}};
        l.RecordTexts = {{oDescription, kTextSize, 1}};
        l.TempName = "SmartNet_Temp.MEM";
        l.OtherHeaders = {"MPT1327 Database "};  // the MPT1327 decoder's database
        return l;
    }();
    return layout;
}

TStoredEntry EncodeSmartNetSystem(const TSmartNetSystemRecord& r)
{
    TStoredEntry e;
    e.Record.assign(kSmartNetRecordSize, 0);
    uint8_t* p = e.Record.data();
    PutI32(p + oBase, r.BaseFrequency);
    PutI32(p + oControlFreq, r.ControlChannelFrequency);
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        PutI32(p + oOccupancy + 4 * i, r.Occupancy[i]);
    PutI32(p + oTicks, r.Ticks);
    PutI32(p + oCountA, int32_t(r.HeardRadios.size()));
    PutI32(p + oCountB, int32_t(r.ListB.size() / 2));
    PutI32(p + oCountC, int32_t(r.ListC.size() / 256));
    std::memcpy(p + oReserved1, r.Reserved1.data(), r.Reserved1.size());
    PutI32(p + oCountD, int32_t(r.ListD.size() / 2));
    PutI32(p + oCountE, int32_t(r.ListE.size() / 256));
    std::memcpy(p + oReserved2, r.Reserved2.data(), r.Reserved2.size());
    PutU16(p + oIdentity, r.SystemIdentity);
    PutU16(p + oChannelSize, r.ChannelSize);
    PutText(p + oDescription, kTextSize, r.Description);
    std::memcpy(p + oControlMap, r.ControlChannelMap.data(), r.ControlChannelMap.size());
    std::memcpy(p + oTrafficMap, r.TrafficChannelMap.data(), r.TrafficChannelMap.size());
    p[oType] = r.SystemType;
    p[oReserved3] = r.Reserved3;
    PutTime(p + oCreated, r.Created);
    std::memcpy(p + oReserved4, r.Reserved4.data(), r.Reserved4.size());

    e.Lists[0] = EncodeHeardRadios(r.HeardRadios, kHeardRadio,
                                   [](uint8_t* h, const TSmartNetHeardRadio& radio) { PutU16(h, radio.Identity); });
    e.Lists[1] = r.ListB;
    e.Lists[2] = r.ListC;
    e.Lists[3] = r.ListD;
    e.Lists[4] = r.ListE;
    return e;
}

TSmartNetSystemRecord DecodeSmartNetSystem(const TStoredEntry& e)
{
    TSmartNetSystemRecord r;
    if (e.Record.size() < kSmartNetRecordSize)
        return r;
    const uint8_t* p = e.Record.data();
    r.BaseFrequency = GetI32(p + oBase);
    r.ControlChannelFrequency = GetI32(p + oControlFreq);
    for (size_t i = 0; i < r.Occupancy.size(); ++i)
        r.Occupancy[i] = GetI32(p + oOccupancy + 4 * i);
    r.Ticks = GetI32(p + oTicks);
    std::memcpy(r.Reserved1.data(), p + oReserved1, r.Reserved1.size());
    std::memcpy(r.Reserved2.data(), p + oReserved2, r.Reserved2.size());
    r.SystemIdentity = GetU16(p + oIdentity);
    r.ChannelSize = GetU16(p + oChannelSize);
    r.Description = GetText(p + oDescription, kTextSize);
    std::memcpy(r.ControlChannelMap.data(), p + oControlMap, r.ControlChannelMap.size());
    std::memcpy(r.TrafficChannelMap.data(), p + oTrafficMap, r.TrafficChannelMap.size());
    r.SystemType = p[oType];
    r.Reserved3 = p[oReserved3];
    r.Created = GetTime(p + oCreated);
    std::memcpy(r.Reserved4.data(), p + oReserved4, r.Reserved4.size());

    r.HeardRadios = DecodeHeardRadios<TSmartNetHeardRadio>(
        e.Lists[0], kHeardRadio, [](const uint8_t* h, TSmartNetHeardRadio& radio) { radio.Identity = GetU16(h); });
    r.ListB = e.Lists[1];
    r.ListC = e.Lists[2];
    r.ListD = e.Lists[3];
    r.ListE = e.Lists[4];
    return r;
}
