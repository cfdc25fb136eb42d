#include "platform/ui/Locale.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Locale, StrftimePicturesBecomeOurs)
{
    std::pair<const char*, const char*> cases[] = {
        {"%d/%m/%Y", "dd/mm/yyyy"},  {"%m/%d/%y", "mm/dd/yy"},     {"%d.%m.%Y", "dd.mm.yyyy"},
        {"%Y-%m-%d", "yyyy-mm-dd"},  {"%F", "yyyy-mm-dd"},         {"%e %B %Y", "d mmmm yyyy"},
        {"%H:%M:%S", "hh:nn:ss"},    {"%T", "hh:nn:ss"},           {"%I:%M:%S %p", "hh:nn:ss ampm"},
        {"%a %d %b", "ddd dd mmm"},  {"%H:%M:%S %Z", "hh:nn:ss"},  {"%Ey", "yy"},
        {"100%%", "100%"},           {"%", ""},                    {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(PictureFromStrftime(in), out) << in;
}

TEST(Locale, MappingOfTheCLibraryFacts)
{
    LocaleInfo c = MapLocale({"%m/%d/%y", "%H:%M:%S", ".", ""});
    EXPECT_EQ(c.ShortDateFormat, "mm/dd/yy");
    EXPECT_EQ(c.LongDateFormat, "dddd, mmmm d, yyyy");
    EXPECT_EQ(c.LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(c.ShortTimeFormat, "hh:nn");
    EXPECT_EQ(c.DecimalSeparator, '.');
    EXPECT_EQ(c.ThousandSeparator, '\0');
    EXPECT_EQ(c.ListSeparator, ',');
    EXPECT_EQ(c.DateSeparator, '/');
    EXPECT_EQ(c.TimeSeparator, ':');

    // A comma decimal separator moves lists to ';'.
    LocaleInfo de = MapLocale({"%d.%m.%Y", "%H:%M:%S", ",", "."});
    EXPECT_EQ(de.ListSeparator, ';');
    EXPECT_EQ(de.DecimalSeparator, ',');
    EXPECT_EQ(de.ThousandSeparator, '.');
    EXPECT_EQ(de.DateSeparator, '.');
    EXPECT_EQ(de.LongDateFormat, "dddd, d mmmm yyyy");

    LocaleInfo iso = MapLocale({"%Y-%m-%d", "%H.%M.%S", ".", ","});
    EXPECT_EQ(iso.LongDateFormat, "yyyy mmmm d");
    EXPECT_EQ(iso.TimeSeparator, '.');
    EXPECT_EQ(iso.ShortTimeFormat, "hh.nn");

    LocaleInfo twelve = MapLocale({"%d/%m/%Y", "%I:%M:%S %p", ".", ","});
    EXPECT_EQ(twelve.ShortTimeFormat, "hh:nn ampm");

    // Nothing usable: the defaults stand.
    LocaleInfo empty = MapLocale({"", "", "", ""});
    EXPECT_EQ(empty, LocaleInfo{.ThousandSeparator = '\0'});
}

TEST(Locale, UserLocaleAndInjection)
{
    testsupport::ScopedEnv lang("LC_ALL", "C");
    CLocaleFacts f = UserLocaleFacts();
    EXPECT_EQ(f.DateFormat, "%m/%d/%y");
    EXPECT_EQ(f.Radix, ".");

    LocaleInfo mine;
    mine.ListSeparator = ';';
    mine.ShortDateFormat = "yyyy/mm/dd";
    SetLocale(&mine);
    EXPECT_EQ(Locale().ListSeparator, ';');
    EXPECT_EQ(Locale().ShortDateFormat, "yyyy/mm/dd");
    SetLocale(nullptr);
    EXPECT_EQ(Locale().DecimalSeparator, MapLocale(UserLocaleFacts()).DecimalSeparator);
}
