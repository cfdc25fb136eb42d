#include "MPT1327Log.h"

#include <cstdio>

std::string MPT1327LogHeader(char c)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "Date%cTime%cSystem ID%cRadio 1%cRadio 2%cChannel\r\n", c, c, c, c, c);
    return buf;
}

std::string MPT1327LogLine(int filterIndex, const TSystemTime& t, uint16_t identity, const TMPT1327Call& call,
                           char c)
{
    char buf[160];
    const unsigned prefix = static_cast<unsigned>(call.Prefix), id1 = static_cast<unsigned>(call.Ident1),
                   id2 = static_cast<unsigned>(call.Ident2), sys = identity;
    switch (filterIndex) {
    case lfText:
        std::snprintf(buf, sizeof buf,
                      "%02d/%02d/%04d %02d:%02d:%02d System=%04X Radio %02X:%04X and radio %02X:%04X on channel "
                      "%4d\r\n",
                      t.Day, t.Month, t.Year, t.Hour, t.Minute, t.Second, sys, prefix, id1, prefix, id2,
                      static_cast<int>(call.Channel));
        return buf;
    case lfCommaSeparated:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d%c%02d:%02d:%02d%c%04X%c\"%02X:%04X\"%c\"%02X:%04X\"%c%d\r\n",
                      t.Day, t.Month, t.Year, c, t.Hour, t.Minute, t.Second, c, sys, c, prefix, id1, c, prefix, id2,
                      c, static_cast<int>(call.Channel));
        return buf;
    default:
        return {};
    }
}

TMPT1327Log::TMPT1327Log(char separator) : separator_(separator) {}

bool TMPT1327Log::LogFileClick(bool checked, bool started, std::filesystem::path& fileName, int& filterIndex,
                               const TChooseFile& chooseFile)
{
    return log_.LogFileClick(checked, started, fileName, filterIndex, chooseFile, MPT1327LogHeader(separator_));
}

bool TMPT1327Log::Open(const std::filesystem::path& fileName, int filterIndex)
{
    return log_.Open(fileName, filterIndex, MPT1327LogHeader(separator_));
}

bool TMPT1327Log::WriteLogEntry(const TSystemTime& localTime, uint16_t identity, const TMPT1327Call& call)
{
    if (!log_.IsOpen())
        return true;
    std::string line = MPT1327LogLine(log_.FilterIndex(), localTime, identity, call, separator_);
    if (line.empty())
        return true;
    return log_.Append(line);
}
