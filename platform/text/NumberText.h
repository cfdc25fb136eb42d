#pragma once
// Numbers that another program, or this one on another day, reads back: always with a point and
// never with digit groups, whatever the process's locale says. Qt sets the C library's locale from
// the environment when an application starts, so the C library's own conversions (strtod, printf's
// %f, std::stod, std::to_string of a double) would read "2.5" as 2 and write 2,500 under a
// decimal-comma locale. What a user reads in a window follows the user's conventions elsewhere.
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

// The whole of text as a finite number: an optional sign, digits with an optional point and
// exponent ("2.5", "+0.5", "-1e3", ".25"). No blanks, no comma, no hexadecimal, no inf or nan.
inline std::optional<double> ParseNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;  // "+-1"
    }
    if (text.empty())
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// v in fixed notation with that many decimals (0 to 17) and a point: FixedText(1.25, 3) is "1.250".
inline std::string FixedText(double v, int decimals)
{
    char text[400];  // the largest double in full, with its decimals
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed,
                                         decimals < 0 ? 0 : decimals > 17 ? 17 : decimals);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace platform
