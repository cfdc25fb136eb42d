// "SmartNet.MEM" as the decoder window and the browser read it (DatabaseFuzz.h).
#include "DatabaseFuzz.h"

#include "SmartNetSystemRecord.h"

namespace fuzz {

namespace {

const TSystemDatabase& Database()
{
    static const TSystemDatabase db = [] {
        TSystemDatabase d(SmartNetLayout(), "/nonexistent/SmartNet.MEM");
        d.SetTimeSource([] { return kDatabaseNow; });
        return d;
    }();
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
    const Bytes header = DatabaseHeader(SmartNetLayout());
    Bytes one = header, two = header;
    Database().SaveImage(one, EncodeSmartNetSystem(System(0x1234, 2, 1)));
    Database().SaveImage(two, EncodeSmartNetSystem(System(0x0001, 0, 0)));
    Database().SaveImage(two, EncodeSmartNetSystem(System(0xFFFE, 1, 0)));
    Bytes twice = header;
    AppendEntry(twice, EncodeSmartNetSystem(System(0x1234, 1, 0)));
    AppendEntry(twice, EncodeSmartNetSystem(System(0x0001, 0, 0)));
    AppendEntry(twice, EncodeSmartNetSystem(System(0x1234, 0, 1)));
    return {{"header-only", header}, {"one-system", one}, {"two-systems", two}, {"system-twice", twice}};
}

void Run(const uint8_t* data, size_t size)
{
    RunDatabase<TSmartNetSystemRecord>(Database(), EncodeSmartNetSystem, DecodeSmartNetSystem, data, size);
}

}  // namespace fuzz
