// "SmartNet.MEM" as the decoder window and the browser read it (DatabaseFuzz.h).
#include "DatabaseFuzz.h"

#include "SmartNetSystemRecord.h"

namespace fuzz {

namespace {

const TSystemDatabase& Database()
{
    static const TSystemDatabase db = FuzzDatabase(SmartNetLayout(), "/nonexistent/SmartNet.MEM");
    return db;
}

TSmartNetSystemRecord System(uint16_t identity, int radios, int carried)
{
    TSmartNetSystemRecord r;
    r.SystemIdentity = identity;
    r.BaseFrequency = 851000000 + identity;
    r.ControlChannelFrequency = 851012500;
    r.ChannelSize = identity % 2 ? 12500 : 25000;
    r.Description = "Site " + std::to_string(identity);
    r.Occupancy[7] = 3;
    r.Ticks = 9;
    r.ControlChannelMap[1] = 2;
    r.TrafficChannelMap[4] = 0x80;
    r.SystemType = 1;
    r.Created = kDatabaseNow;
    for (int i = 0; i < radios; ++i)
        r.HeardRadios.push_back({static_cast<uint16_t>(0x2000 + i), i % 2 ? "Dispatch" : ""});
    r.ListB.assign(2 * carried, 0xBB);
    r.ListC.assign(256 * carried, 0xCC);
    r.ListD.assign(2 * carried, 0xDD);
    r.ListE.assign(256 * carried, 0xEE);
    return r;
}

}  // namespace

std::vector<Seed> Seeds()
{
    return DatabaseSeeds(Database(), System, EncodeSmartNetSystem, 0x1234, 0x0001, 0xFFFE);
}

void Run(const uint8_t* data, size_t size)
{
    RunDatabase<TSmartNetSystemRecord>(Database(), EncodeSmartNetSystem, DecodeSmartNetSystem, data, size);
}

}  // namespace fuzz
