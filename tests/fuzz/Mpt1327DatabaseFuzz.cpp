// "MPT1327.MEM" as the decoder window and the browser read it (DatabaseFuzz.h).
#include "DatabaseFuzz.h"

#include "MPT1327SystemRecord.h"

namespace fuzz {

namespace {

const TSystemDatabase& Database()
{
    static const TSystemDatabase db = [] {
        TSystemDatabase d(MPT1327Layout(), "/nonexistent/MPT1327.MEM");
        d.SetTimeSource([] { return kDatabaseNow; });
        return d;
    }();
    return db;
}

TMPT1327SystemRecord System(uint16_t identity, int radios, int carried)
{
    TMPT1327SystemRecord r;
    r.SystemIdentity = identity;
    r.BaseFrequency = 450000000 + identity;
    r.ControlChannelFrequency = 450012500;
    r.ChannelSize = identity % 2 ? 12500 : 25000;
    r.Description = "System " + std::to_string(identity);
    r.Occupancy[3] = 17;
    r.ScanTicks = 5;
    r.PrefixMap[1] = 0x81;
    r.GroupAliases[5] = "Group five";
    r.ControlChannelMap[2] = 4;
    r.TrafficChannelMap[9] = 0x10;
    r.FirstSeen = kDatabaseNow;
    for (int i = 0; i < radios; ++i)
        r.HeardRadios.push_back({static_cast<uint16_t>(100 + i), static_cast<uint8_t>(i), i % 2 ? "Radio" : ""});
    r.List2.assign(4 * carried, 0x22);
    r.List3.assign(256 * carried, 0x33);
    r.List4.assign(4 * carried, 0x44);
    r.List5.assign(256 * carried, 0x55);
    return r;
}

}  // namespace

std::vector<Seed> Seeds()
{
    const Bytes header = DatabaseHeader(MPT1327Layout());
    Bytes one = header, two = header;
    Database().SaveImage(one, EncodeMPT1327System(System(0x0ABC, 2, 1)));
    Database().SaveImage(two, EncodeMPT1327System(System(0x1234, 0, 0)));
    Database().SaveImage(two, EncodeMPT1327System(System(0x7FFF, 1, 0)));
    // A file written elsewhere, holding one system twice.
    Bytes twice = header;
    AppendEntry(twice, EncodeMPT1327System(System(0x0ABC, 1, 0)));
    AppendEntry(twice, EncodeMPT1327System(System(0x1234, 0, 0)));
    AppendEntry(twice, EncodeMPT1327System(System(0x0ABC, 0, 1)));
    return {{"header-only", header}, {"one-system", one}, {"two-systems", two}, {"system-twice", twice}};
}

void Run(const uint8_t* data, size_t size)
{
    RunDatabase<TMPT1327SystemRecord>(Database(), EncodeMPT1327System, DecodeMPT1327System, data, size);
}

}  // namespace fuzz
