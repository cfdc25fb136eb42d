#include "SmartNetLog.h"

#include <cstdio>

std::string SmartNetLogHeader(char c)
{
    char line[96];
    std::snprintf(line, sizeof line, "Date%cTime%cSystem ID%cRadio%cChannel\r\n", c, c, c, c);
    return line;
}

std::string SmartNetLogLine(int filterIndex, const TSystemTime& t, uint16_t system, const TSmartNetOnAirEntry& e,
                            char c)
{
    char line[100];
    const unsigned radio = uint16_t(e.Identity);
    const char* group = e.Group ? "-grp" : "";
    switch (filterIndex) {
    case lfText:
        std::snprintf(line, sizeof line, "%02d/%02d/%04d %02d:%02d:%02d System=%04X Radio %04X%s on channel %4d\r\n",
                      t.Day, t.Month, t.Year, t.Hour, t.Minute, t.Second, unsigned(system), radio, group, e.Channel);
        return line;
    case lfCommaSeparated:
        std::snprintf(line, sizeof line, "%02d/%02d/%04d%c%02d:%02d:%02d%c%04X%c%04X%s%c%d\r\n", t.Day, t.Month,
                      t.Year, c, t.Hour, t.Minute, t.Second, c, unsigned(system), c, radio, group, c, e.Channel);
        return line;
    default:
        return {};
    }
}

bool TSmartNetLog::LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                                const TChooseFile& chooseFile)
{
    return log_.LogFileClick(checked, started, fileName, filterIndex, chooseFile, SmartNetLogHeader(separator_));
}

bool TSmartNetLog::WriteLogEntry(const TSystemTime& localTime, uint16_t system, const TSmartNetOnAirEntry& entry)
{
    if (!log_.IsOpen())
        return true;
    const std::string line = SmartNetLogLine(log_.FilterIndex(), localTime, system, entry, separator_);
    return line.empty() || log_.Append(line);
}
