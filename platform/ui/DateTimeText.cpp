#include "DateTimeText.h"

#include "Locale.h"

#include <cctype>

namespace platform {

namespace {

const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

std::string number(int v, bool twoDigits)
{
    std::string s = std::to_string(v);
    return twoDigits && s.size() < 2 ? "0" + s : s;
}

int clampIndex(int v, int count) { return v < 0 ? 0 : v >= count ? count - 1 : v; }

bool startsWithNoCase(const std::string& s, size_t pos, const char* word)
{
    for (size_t k = 0; word[k]; ++k)
        if (pos + k >= s.size() || std::tolower(static_cast<unsigned char>(s[pos + k])) != word[k])
            return false;
    return true;
}

}  // namespace

std::string FormatDateTime(const std::string& picture, const std::tm& t)
{
    // Whether the picture shows a half-day marker decides the hour's range.
    const bool twelveHour = [&] {
        for (size_t i = 0; i < picture.size(); ++i)
            if (startsWithNoCase(picture, i, "ampm") || startsWithNoCase(picture, i, "am/pm") ||
                startsWithNoCase(picture, i, "a/p"))
                return true;
        return false;
    }();
    std::string out;
    bool afterHour = false;
    size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t run = 1;
        while (i + run < picture.size() && std::tolower(static_cast<unsigned char>(picture[i + run])) == lc)
            ++run;
        if (c == '"' || c == '\'') {
            const size_t end = picture.find(c, i + 1);
            out += picture.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? picture.size() : end + 1;
            continue;
        }
        if (startsWithNoCase(picture, i, "ampm")) {
            out += t.tm_hour < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        if (startsWithNoCase(picture, i, "am/pm")) {
            out += t.tm_hour < 12 ? "am" : "pm";
            i += 5;
            continue;
        }
        if (startsWithNoCase(picture, i, "a/p")) {
            out += t.tm_hour < 12 ? "a" : "p";
            i += 3;
            continue;
        }
        switch (lc) {
        case 'd':
            if (run >= 4)
                out += kLongDays[clampIndex(t.tm_wday, 7)], run = 4;
            else if (run == 3)
                out += kShortDays[clampIndex(t.tm_wday, 7)];
            else
                out += number(t.tm_mday, run == 2);
            afterHour = false;
            break;
        case 'm':
            if (afterHour && run <= 2) {
                out += number(t.tm_min, run == 2);
            } else if (run >= 4) {
                out += kLongMonths[clampIndex(t.tm_mon, 12)];
                run = 4;
            } else if (run == 3) {
                out += kShortMonths[clampIndex(t.tm_mon, 12)];
            } else {
                out += number(t.tm_mon + 1, run == 2);
            }
            afterHour = false;
            break;
        case 'y':
            if (run >= 3) {
                out += number(t.tm_year + 1900, false);
                run = run >= 4 ? 4 : run;
            } else {
                out += number((t.tm_year + 1900) % 100, true);
            }
            afterHour = false;
            break;
        case 'h': {
            int h = t.tm_hour;
            if (twelveHour) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            out += number(h, run >= 2);
            run = run > 2 ? 2 : run;
            afterHour = true;
            break;
        }
        case 'n':
            out += number(t.tm_min, run >= 2);
            run = run > 2 ? 2 : run;
            afterHour = false;
            break;
        case 's':
            out += number(t.tm_sec, run >= 2);
            run = run > 2 ? 2 : run;
            afterHour = false;
            break;
        default:
            out += c;
            run = 1;
            // A separator between the hour and a following 'm' keeps the minute meaning.
            break;
        }
        i += run;
    }
    return out;
}

std::string NowDateTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const LocaleInfo& l = Locale();
    return FormatDateTime(l.ShortDateFormat, local) + " " + FormatDateTime(l.LongTimeFormat, local);
}

}  // namespace platform
