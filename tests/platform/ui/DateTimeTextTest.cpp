// Dates and times written with the locale's pictures.
#include "platform/ui/DateTimeText.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second, int weekday)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;
    return t;
}

TEST(FormatDateTime, WritesEveryFieldOfThePictures)
{
    const std::tm morning = at(2026, 3, 7, 9, 5, 4, 6);
    const std::tm evening = at(1999, 12, 31, 23, 59, 58, 5);
    const std::tm midnight = at(2000, 1, 1, 0, 0, 0, 6);
    struct Case {
        const char* picture;
        const std::tm* t;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{
             {"dd/mm/yyyy", &morning, "07/03/2026"},
             {"d/m/yy", &morning, "7/3/26"},
             {"yyyy-mm-dd", &evening, "1999-12-31"},
             {"hh:nn:ss", &morning, "09:05:04"},
             {"h:n:s", &morning, "9:5:4"},
             {"hh:mm:ss", &evening, "23:59:58"},  // m after the hour is the minute
             {"h:nn:ss ampm", &evening, "11:59:58 PM"},
             {"h:nn am/pm", &midnight, "12:00 am"},
             {"hh:nn a/p", &morning, "09:05 a"},
             {"dddd, d mmmm yyyy", &morning, "Saturday, 7 March 2026"},
             {"ddd d mmm", &evening, "Fri 31 Dec"},
             {"'at' hh\"h\"", &morning, "at 09h"},
             {"", &morning, ""},
         })
        EXPECT_EQ(FormatDateTime(c.picture, *c.t), c.text) << c.picture;
}

TEST(FormatDateTime, FieldsOutOfRangeDoNotReadOutsideTheNameTables)
{
    std::tm t = at(2026, 1, 1, 0, 0, 0, 0);
    t.tm_wday = 9;
    t.tm_mon = -3;
    EXPECT_EQ(FormatDateTime("ddd mmm", t), "Sat Jan");
}

}  // namespace
