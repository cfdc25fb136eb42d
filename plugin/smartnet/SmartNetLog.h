#pragma once
// The SmartNet call log: one line per call, plain text or comma-separated with the locale's list
// separator.
#include "CallLog.h"
#include "SmartNetTypes.h"
#include "SystemTime.h"

#include <filesystem>
#include <functional>
#include <string>

// The header line of a new comma-separated log.
std::string SmartNetLogHeader(char separator);
// The line for one call; empty for a filter index other than text or comma-separated.
std::string SmartNetLogLine(int filterIndex, const TSystemTime& time, uint16_t system,
                            const TSmartNetOnAirEntry& entry, char separator);

class TSmartNetLog {
public:
    explicit TSmartNetLog(char separator) : separator_(separator) {}

    using TChooseFile = TCallLog::TChooseFile;
    // The "Log file" button after it toggled (see TCallLog::LogFileClick).
    bool LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                      const TChooseFile& chooseFile);
    void Close() { log_.Close(); }
    bool IsOpen() const { return log_.IsOpen(); }
    // Appends the call's line when the log is open. False when a write failed (the log is closed).
    bool WriteLogEntry(const TSystemTime& localTime, uint16_t system, const TSmartNetOnAirEntry& entry);

private:
    char separator_;
    TCallLog log_;
};
