// Numbers read and written with a point, whatever the locale: what is taken, what is refused.
#include "platform/text/NumberText.h"

#include <gtest/gtest.h>

#include <cfloat>

using platform::FixedText;
using platform::ParseNumber;

namespace {

TEST(NumberText, ParseNumberTakesTheWholeTextInTheFormWithAPoint)
{
    const struct {
        const char* text;
        double value;
    } taken[] = {
        {"2.5", 2.5}, {"0.5", 0.5}, {"8", 8}, {"+0.25", 0.25}, {"-1e3", -1000}, {".5", 0.5},
        {"5.", 5},    {"1E-3", 0.001}, {"86400", 86400}, {"0", 0},
    };
    for (const auto& c : taken) {
        SCOPED_TRACE(c.text);
        const auto v = ParseNumber(c.text);
        ASSERT_TRUE(v.has_value());
        EXPECT_DOUBLE_EQ(*v, c.value);
    }
    const char* refused[] = {"",    "2,5", " 2.5", "2.5 ", "2.5s", "+",   "-",    "+-1", "++1",  "1e",
                             "0x10", "inf", "-inf", "nan",  "1e999", "1.2.3", "1,000", ".",  "e5",  "fast"};
    for (const char* text : refused)
        EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
}

TEST(NumberText, FixedTextHasThatManyDecimalsAfterAPoint)
{
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {1.25, 3, "1.250"},     {0, 3, "0.000"},      {12345.678, 2, "12345.68"}, {-0.5, 1, "-0.5"},
        {450.0125, 4, "450.0125"}, {7, 0, "7"},       {1e15, 1, "1000000000000000.0"}, {0.001, 3, "0.001"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedText(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
    // The largest number there is fits, and what it writes reads back.
    EXPECT_EQ(ParseNumber(FixedText(DBL_MAX, 3)), DBL_MAX);
    EXPECT_EQ(ParseNumber(FixedText(-2.125, 3)), -2.125);
}

}  // namespace
