#pragma once
// The decoder window's system database: the current SmartNet system's record with its lists, loaded
// from "SmartNet.MEM" when the system changes and written back before another one is loaded.
#include "SmartNetSystemRecord.h"
#include "SystemDatabase.h"

#include <filesystem>
#include <functional>
#include <string>

// What the window shows and sets after SelectSystem.
struct TSmartNetSelection {
    bool Found = false;          // the system came from the file
    uint16_t ChannelSize = 0;    // the stored step to take (0: keep the window's)
    int32_t ControlChannel = -1; // from the tuned frequency and the stored base frequency
    std::string SysIDText;       // identity, four upper-case hexadecimal digits
    std::string Description;
    std::string CtrlChanFreqText;  // tuned frequency, "851.0125 MHz"
};

class TSmartNetDatabase {
public:
    // file: the plug-in directory followed by "SmartNet.MEM"; record: the window's current record.
    TSmartNetDatabase(std::filesystem::path file, TSmartNetSystemRecord& record);

    // Where the database's notices for the user go (the window shows them as boxes).
    void SetReport(TDatabaseReport* report) { storage_.SetReport(report); }
    // Clocks for converted records (local time) and new records (UTC); the system clock by default.
    void SetTimeSource(std::function<TSystemTime()> localNow, std::function<TSystemTime()> utcNow);

    TDatabaseStatus OpenDatabase() { return storage_.Open(); }
    bool InUse() const { return storage_.InUse(); }
    const TSystemDatabase& Storage() const { return storage_; }

    // Writes the current record and its lists, the current entry moving to the end of the file.
    // Frequencies the window does not know (-1) are written as they were loaded, so that a save
    // soon after a system switch does not lose the stored ones. Nothing without a current system.
    TDatabaseStatus SaveSystem(int16_t controlChannel, uint16_t channelSize);

    // Stores the current system and loads another one (or starts an empty record with base frequency
    // -1, the given step and the creation time in UTC). kSmartNetNoSystem leaves none current.
    TSmartNetSelection SelectSystem(uint16_t identity, int32_t tunedFrequency, uint16_t channelSize,
                                    int16_t controlChannel);

private:
    TSystemDatabase storage_;
    TSmartNetSystemRecord& record_;
    std::function<TSystemTime()> utcNow_;
    int32_t storedBase_ = -1, storedControl_ = -1;  // as the file had them when the record was loaded
};
