// "MPT1327.MEM" as the decoder window and the browser read it (DatabaseFuzz.h).
#include "DatabaseFuzz.h"

#include "MPT1327SystemRecord.h"

namespace fuzz {

namespace {

const TSystemDatabase& Database()
{
    static const TSystemDatabase db = FuzzDatabase(MPT1327Layout(), "/nonexistent/MPT1327.MEM");
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
    return DatabaseSeeds(Database(), System, EncodeMPT1327System, 0x0ABC, 0x1234, 0x7FFF);
}

void Run(const uint8_t* data, size_t size)
{
    RunDatabase<TMPT1327SystemRecord>(Database(), EncodeMPT1327System, DecodeMPT1327System, data, size);
}

}  // namespace fuzz
