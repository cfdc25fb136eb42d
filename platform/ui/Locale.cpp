#include "Locale.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace platform {

namespace {

std::mutex gMutex;
std::optional<LocaleInfo> gInjected;
std::optional<LocaleInfo> gUser;

char firstOr(const std::string& s, char fallback) { return s.empty() ? fallback : s[0]; }

// The first character of the picture that is neither a letter nor a space: the separator.
char separatorOf(const std::string& picture, char fallback)
{
    for (char c : picture)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' '))
            return c;
    return fallback;
}

}  // namespace

std::string PictureFromStrftime(const std::string& format)
{
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= format.size())
            break;
        char k = format[i];
        // Flags and field widths of the GNU extensions carry no meaning for our pictures.
        while ((k == 'E' || k == 'O' || k == '-' || k == '_' || k == '0' || k == '^' || k == '#') && i + 1 < format.size())
            k = format[++i];
        switch (k) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "mm"; break;
        case 'b': case 'h': out += "mmm"; break;
        case 'B': out += "mmmm"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'y': out += "yy"; break;
        case 'Y': case 'G': out += "yyyy"; break;
        case 'H': case 'I': out += "hh"; break;
        case 'k': case 'l': out += "h"; break;
        case 'M': out += "nn"; break;
        case 'S': out += "ss"; break;
        case 'p': case 'P': out += "ampm"; break;
        case 'T': out += "hh:nn:ss"; break;
        case 'R': out += "hh:nn"; break;
        case 'r': out += "hh:nn:ss ampm"; break;
        case 'D': out += "mm/dd/yy"; break;
        case 'F': out += "yyyy-mm-dd"; break;
        case 'n': out += ' '; break;
        case 't': out += ' '; break;
        case '%': out += '%'; break;
        default: break;  // time zone, week numbers ...: nothing to show
        }
    }
    // Dropped conversions may leave blanks at the ends.
    size_t b = out.find_first_not_of(' '), e = out.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
}

LocaleInfo MapLocale(const CLocaleFacts& facts)
{
    LocaleInfo info;
    info.DecimalSeparator = firstOr(facts.Radix, '.');
    info.ThousandSeparator = facts.Thousands.empty() ? '\0' : facts.Thousands[0];
    if (info.ThousandSeparator == info.DecimalSeparator)
        info.ThousandSeparator = '\0';
    info.ListSeparator = info.DecimalSeparator == ',' ? ';' : ',';

    std::string date = PictureFromStrftime(facts.DateFormat);
    if (!date.empty())
        info.ShortDateFormat = date;
    info.DateSeparator = separatorOf(info.ShortDateFormat, '/');

    std::string time = PictureFromStrftime(facts.TimeFormat);
    if (!time.empty())
        info.LongTimeFormat = time;
    info.TimeSeparator = separatorOf(info.LongTimeFormat, ':');
    // The short time is the long one without its seconds.
    std::string shortTime = info.LongTimeFormat;
    if (size_t s = shortTime.find("ss"); s != std::string::npos) {
        size_t from = s;
        if (from > 0 && shortTime[from - 1] == info.TimeSeparator)
            --from;
        shortTime.erase(from, s + 2 - from);
    }
    info.ShortTimeFormat = shortTime;

    // Long date in the order of the short one.
    size_t d = info.ShortDateFormat.find('d'), m = info.ShortDateFormat.find('m'), y = info.ShortDateFormat.find('y');
    if (y != std::string::npos && (m == std::string::npos || y < m) && (d == std::string::npos || y < d))
        info.LongDateFormat = "yyyy mmmm d";
    else if (m != std::string::npos && d != std::string::npos && m < d)
        info.LongDateFormat = "dddd, mmmm d, yyyy";
    else
        info.LongDateFormat = "dddd, d mmmm yyyy";
    return info;
}

CLocaleFacts UserLocaleFacts()
{
    CLocaleFacts f;
    locale_t loc = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)  // an unknown locale in the environment: the C library's own
        loc = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (!loc)
        return CLocaleFacts{"%m/%d/%y", "%H:%M:%S", ".", ""};
    f.DateFormat = ::nl_langinfo_l(D_FMT, loc);
    f.TimeFormat = ::nl_langinfo_l(T_FMT, loc);
    f.Radix = ::nl_langinfo_l(RADIXCHAR, loc);
    f.Thousands = ::nl_langinfo_l(THOUSEP, loc);
    ::freelocale(loc);
    return f;
}

const LocaleInfo& Locale()
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gInjected)
        return *gInjected;
    if (!gUser)
        gUser = MapLocale(UserLocaleFacts());
    return *gUser;
}

void SetLocale(const LocaleInfo* info)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (info)
        gInjected = *info;
    else
        gInjected.reset();
}

}  // namespace platform
