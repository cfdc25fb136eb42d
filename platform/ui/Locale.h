#pragma once
// The user's number, list, date and time conventions, with pictures written the way the system's
// formatting code expects them ("dd/mm/yyyy", "hh:nn:ss": d day, m month, y year, h hour, n minute,
// s second, ddd/dddd and mmm/mmmm short and long names, ampm the half-day marker).
#include <string>

namespace platform {

struct LocaleInfo {
    char ListSeparator = ',';
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';  // '\0' when the locale groups no digits
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "dd/mm/yyyy";
    std::string LongDateFormat = "dddd, d mmmm yyyy";
    std::string ShortTimeFormat = "hh:nn";
    std::string LongTimeFormat = "hh:nn:ss";
    bool operator==(const LocaleInfo&) const = default;
};

// What the C library says about a locale, before mapping.
struct CLocaleFacts {
    std::string DateFormat;   // nl_langinfo(D_FMT), e.g. "%d/%m/%Y"
    std::string TimeFormat;   // nl_langinfo(T_FMT), e.g. "%H:%M:%S"
    std::string Radix;        // decimal point
    std::string Thousands;    // digit grouping character, may be empty
};

// Maps the C library's facts to our pictures. The C library has no list separator: it is ';' where
// the decimal separator is ',' (so lists of numbers stay readable) and ',' otherwise.
LocaleInfo MapLocale(const CLocaleFacts& facts);
// The facts of the user's locale (from the environment, as setlocale(LC_ALL, "") would pick).
CLocaleFacts UserLocaleFacts();
// A strftime picture as one of ours; conversions we have no letter for are dropped.
std::string PictureFromStrftime(const std::string& format);

// The conventions in use: the user's, unless a test has put its own in place.
const LocaleInfo& Locale();
// Replaces the conventions for tests; nullptr goes back to the user's.
void SetLocale(const LocaleInfo* info);

}  // namespace platform
