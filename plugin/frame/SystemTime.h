#pragma once
// A calendar time as the plug-ins' records store it: eight 16-bit fields.
#include <cstdint>

struct TSystemTime {
    uint16_t Year = 0, Month = 0, DayOfWeek = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
    bool operator==(const TSystemTime&) const = default;
};

// The current time, in the user's time zone or in UTC (day of week 0 = Sunday).
TSystemTime LocalSystemTime();
TSystemTime UtcSystemTime();
