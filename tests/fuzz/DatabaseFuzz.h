#pragma once
// A plug-in's system database through the path from memory: the check (and conversion) Open makes,
// the browser's reading, the record's decoding, and a save of what was read, which must leave one
// copy of the system, at the end, that reads back the same.
#include "FuzzTarget.h"

#include "SystemDatabase.h"

#include <algorithm>
#include <filesystem>

namespace fuzz {

inline const TSystemTime kDatabaseNow{2026, 12, 4, 10, 15, 30, 45, 500};

// The database file's header with its version byte, as a new file starts.
inline Bytes DatabaseHeader(const TDatabaseLayout& layout)
{
    const std::string head = layout.Header + layout.Version;
    return Bytes(head.begin(), head.end());
}

// An entry's bytes as they lie in the file, for seeds that no save would write (a system twice).
inline void AppendEntry(Bytes& file, const TStoredEntry& entry)
{
    file.insert(file.end(), entry.Record.begin(), entry.Record.end());
    for (const auto& list : entry.Lists)
        file.insert(file.end(), list.begin(), list.end());
}

// The database as the plug-in's windows open it, at a path no run writes, its clock at kDatabaseNow.
inline TSystemDatabase FuzzDatabase(const TDatabaseLayout& layout, const std::filesystem::path& file)
{
    TSystemDatabase db(layout, file);
    db.SetTimeSource([] { return kDatabaseNow; });
    return db;
}

// The seeds: a new file, one system saved, two saved, and the first system twice around the second
// (a file written elsewhere). system(identity, radios heard, lists carried) makes a record.
template <typename MakeSystem, typename Encode>
std::vector<Seed> DatabaseSeeds(const TSystemDatabase& db, MakeSystem system, Encode encode, uint16_t first,
                                uint16_t second, uint16_t third)
{
    const Bytes header = DatabaseHeader(db.Layout());
    Bytes one = header, two = header;
    db.SaveImage(one, encode(system(first, 2, 1)));
    db.SaveImage(two, encode(system(second, 0, 0)));
    db.SaveImage(two, encode(system(third, 1, 0)));
    Bytes twice = header;
    AppendEntry(twice, encode(system(first, 1, 0)));
    AppendEntry(twice, encode(system(second, 0, 0)));
    AppendEntry(twice, encode(system(first, 0, 1)));
    return {{"header-only", header}, {"one-system", one}, {"two-systems", two}, {"system-twice", twice}};
}

template <typename Record, typename Encode, typename Decode>
void RunDatabase(const TSystemDatabase& db, Encode encode, Decode decode, const uint8_t* data, size_t size)
{
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
    const Record record = decode(entry);
    Check(record.SystemIdentity == identity, "the record's identity is not the listed one");
    Check(decode(encode(record)) == record, "the record does not encode back");

    Check(db.SaveImage(image, encode(record)) == TDatabaseStatus::dsOk, "a checked file refuses a save");
    std::vector<uint16_t> after;
    Check(db.ReadIdentities(image, after) == TDatabaseStatus::dsOk, "a saved file the browser cannot read");
    std::vector<uint16_t> expected = identities;
    expected.erase(std::remove(expected.begin(), expected.end(), identity), expected.end());
    expected.push_back(identity);
    Check(after == expected, "the save did not leave one copy of the system, at the end");
    TStoredEntry again;
    Check(db.ReadEntry(image, identity, again, found) == TDatabaseStatus::dsOk && found, "the saved system is lost");
    Check(decode(again) == record, "the saved system reads back differently");
    Bytes checked;
    Check(db.CheckImage(image, checked) == TDatabaseStatus::dsOk && checked == image, "the saved file does not check");
}

}  // namespace fuzz
