// "MPT1327.MEM" through the database's path from memory: the check (and conversion) Open makes, the
// browser's reading, the record's decoding, and a save of what was read, which must read back the same.
#include "FuzzTarget.h"

#include "MPT1327SystemRecord.h"
#include "SystemDatabase.h"

#include <algorithm>

namespace fuzz {

namespace {

const TSystemTime kNow{2026, 12, 4, 10, 15, 30, 45, 500};

TSystemDatabase& Database()
{
    static TSystemDatabase db(MPT1327Layout(), "/nonexistent/MPT1327.MEM");
    static const bool timed = (db.SetTimeSource([] { return kNow; }), true);
    (void)timed;
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
    r.FirstSeen = kNow;
    for (int i = 0; i < radios; ++i)
        r.HeardRadios.push_back({static_cast<uint16_t>(100 + i), static_cast<uint8_t>(i), i % 2 ? "Radio" : ""});
    r.List2.assign(4 * carried, 0x22);
    r.List3.assign(256 * carried, 0x33);
    r.List4.assign(4 * carried, 0x44);
    r.List5.assign(256 * carried, 0x55);
    return r;
}

Bytes Header()
{
    const TDatabaseLayout& l = MPT1327Layout();
    std::string head = l.Header + l.Version;
    return Bytes(head.begin(), head.end());
}

void Append(Bytes& file, const TStoredEntry& entry)
{
    file.insert(file.end(), entry.Record.begin(), entry.Record.end());
    for (const auto& list : entry.Lists)
        file.insert(file.end(), list.begin(), list.end());
}

}  // namespace

std::vector<Seed> Seeds()
{
    Bytes one = Header(), two = Header();
    Database().SaveImage(one, EncodeMPT1327System(System(0x0ABC, 2, 1)));
    Database().SaveImage(two, EncodeMPT1327System(System(0x1234, 0, 0)));
    Database().SaveImage(two, EncodeMPT1327System(System(0x7FFF, 1, 0)));
    // A file written elsewhere, holding one system twice.
    Bytes twice = Header();
    Append(twice, EncodeMPT1327System(System(0x0ABC, 1, 0)));
    Append(twice, EncodeMPT1327System(System(0x1234, 0, 0)));
    Append(twice, EncodeMPT1327System(System(0x0ABC, 0, 1)));
    return {{"header-only", Header()}, {"one-system", one}, {"two-systems", two}, {"system-twice", twice}};
}

void Run(const uint8_t* data, size_t size)
{
    const TSystemDatabase& db = Database();
    const Bytes file(data, data + size);
    Bytes image;
    const TDatabaseStatus status = db.CheckImage(file, image);
    if (status == TDatabaseStatus::dsDamaged)
        return;
    Check(status == TDatabaseStatus::dsOk || status == TDatabaseStatus::dsConverted, "an unexpected check result");

    std::vector<uint16_t> identities;
    Check(db.ReadIdentities(image, identities) == TDatabaseStatus::dsOk, "a checked file the browser cannot read");
    if (identities.empty())
        return;

    // The first system as the decoder window loads it, saved back and read again.
    const uint16_t identity = identities.front();
    TStoredEntry entry;
    bool found = false;
    Check(db.ReadEntry(image, identity, entry, found) == TDatabaseStatus::dsOk && found, "a listed system not found");
    const TMPT1327SystemRecord record = DecodeMPT1327System(entry);
    Check(record.SystemIdentity == identity, "the record's identity is not the listed one");
    Check(DecodeMPT1327System(EncodeMPT1327System(record)) == record, "the record does not encode back");

    Check(db.SaveImage(image, EncodeMPT1327System(record)) == TDatabaseStatus::dsOk, "a checked file refuses a save");
    std::vector<uint16_t> after;
    Check(db.ReadIdentities(image, after) == TDatabaseStatus::dsOk, "a saved file the browser cannot read");
    std::vector<uint16_t> expected = identities;
    expected.erase(std::remove(expected.begin(), expected.end(), identity), expected.end());
    expected.push_back(identity);
    Check(after == expected, "the save did not leave one copy of the system, at the end");
    TStoredEntry again;
    Check(db.ReadEntry(image, identity, again, found) == TDatabaseStatus::dsOk && found, "the saved system is lost");
    Check(DecodeMPT1327System(again) == record, "the saved system reads back differently");
    Bytes checked;
    Check(db.CheckImage(image, checked) == TDatabaseStatus::dsOk && checked == image, "the saved file does not check");
}

}  // namespace fuzz
