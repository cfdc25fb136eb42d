#pragma once
// The decoder window's system database: the record of the current MPT1327 system with its lists, loaded
// from "MPT1327.MEM" when the system changes and written back before another is loaded.
#include <filesystem>
#include <functional>
#include <string>

#include "MPT1327SystemRecord.h"
#include "SystemDatabase.h"

// The window's channel arithmetic that selecting a system reads and sets.
struct TMPT1327Channels {
    uint32_t TunedFrequency = 0;  // Hz
    uint16_t ChannelSize = 25000; // Hz
    int16_t CurrentChannel = -1;  // -1 = not known
    int16_t ControlChannel = -1;  // -1 = not known
};

// What the window shows after SelectSystem.
struct TMPT1327Selection {
    bool Changed = false;          // false: the system was current already and nothing was done
    bool Found = false;            // the system came from the file
    std::string SysIDText;         // identity, four upper-case hexadecimal digits
    std::string Description;
    std::string CtrlChanFreqText;  // tuned frequency, "450.0125 MHz"
    std::string CtrlChanText;      // control channel number, empty when not known
};

class TMPT1327Database {
public:
    // file: the plug-in directory followed by "MPT1327.MEM".
    explicit TMPT1327Database(std::filesystem::path file);

    // Where the database's notices for the user go (the window shows them as boxes).
    void SetReport(TDatabaseReport* report) { storage_.SetReport(report); }
    // Clocks for converted records (local time) and new records (UTC); the system clock by default.
    void SetTimeSource(std::function<TSystemTime()> localNow, std::function<TSystemTime()> utcNow);

    // At construction of the window, before anything reads the file.
    TDatabaseStatus OpenDatabase();
    bool InUse() const { return storage_.InUse(); }
    const TSystemDatabase& Storage() const { return storage_; }

    bool HasSystem() const { return record_.SystemIdentity != MPT1327NoSystem; }
    TMPT1327SystemRecord& Record() { return record_; }
    const TMPT1327SystemRecord& Record() const { return record_; }

    // Writes the current record and its lists into the file, after taking the control-channel frequency
    // (when the control channel is known) and the channel size from the window. Nothing without a system,
    // nor for a system whose stored copy could not be read when it was selected (dsCantAccess).
    TDatabaseStatus SaveSystem(const TMPT1327Channels& channels);

    // Makes a system current: saves the previous one, loads this one (or starts an empty record) and sets
    // the channel size, the current and the control channel from it and the tuned frequency. A stored
    // channel size other than 12500 or 25000 is not taken, and the stored base frequency is kept. The
    // window removes its calls before and shows the returned texts after.
    TMPT1327Selection SelectSystem(uint16_t identity, TMPT1327Channels& channels);

private:
    TSystemDatabase storage_;
    TMPT1327SystemRecord record_;
    std::function<TSystemTime()> utcNow_;
    bool unread_ = false;  // the current system's stored copy could not be read
};
