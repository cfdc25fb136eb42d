#include "SystemTime.h"

#include <chrono>
#include <ctime>

namespace {

TSystemTime FromNow(bool utc)
{
    auto now = std::chrono::system_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    if (utc)
        gmtime_r(&t, &tm);
    else
        localtime_r(&t, &tm);
    TSystemTime st;
    st.Year = static_cast<uint16_t>(tm.tm_year + 1900);
    st.Month = static_cast<uint16_t>(tm.tm_mon + 1);
    st.DayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    st.Day = static_cast<uint16_t>(tm.tm_mday);
    st.Hour = static_cast<uint16_t>(tm.tm_hour);
    st.Minute = static_cast<uint16_t>(tm.tm_min);
    st.Second = static_cast<uint16_t>(tm.tm_sec);
    st.Milliseconds = static_cast<uint16_t>(ms);
    return st;
}

}  // namespace

TSystemTime LocalSystemTime() { return FromNow(false); }
TSystemTime UtcSystemTime() { return FromNow(true); }
