#pragma once
// The MPT1327 call log: one line per call, plain text or comma-separated with the locale's list separator.
#include <filesystem>
#include <functional>
#include <string>

#include "CallLog.h"
#include "MPT1327Call.h"
#include "SystemTime.h"

// The header line of a new comma-separated log.
std::string MPT1327LogHeader(char separator);
// The line for one call; empty for a filter index other than text or comma-separated.
std::string MPT1327LogLine(int filterIndex, const TSystemTime& time, uint16_t identity, const TMPT1327Call& call,
                           char separator);

class TMPT1327Log {
public:
    // separator: the first character of the locale's list separator.
    explicit TMPT1327Log(char separator);

    using TChooseFile = TCallLog::TChooseFile;

    // The "Log file" button after it toggled (see TCallLog::LogFileClick).
    bool LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                      const TChooseFile& chooseFile);

    // Opens the file for appending; a new comma-separated log gets its header. False when it failed.
    bool Open(const std::filesystem::path& fileName, int filterIndex);
    void Close() { log_.Close(); }
    bool IsOpen() const { return log_.IsOpen(); }

    // Appends the call's line when the log is open. False when a write failed: the log is then closed
    // and the window unchecks its button.
    bool WriteLogEntry(const TSystemTime& localTime, uint16_t identity, const TMPT1327Call& call);

private:
    char separator_;
    TCallLog log_;
};
