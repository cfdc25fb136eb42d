#pragma once
// Dates and times written with the pictures of Locale.h ("dd/mm/yyyy", "hh:nn:ss"), as the system's
// logs and status lines show them.
#include <ctime>
#include <string>

namespace platform {

// The picture's letters replaced by the fields of t: d dd ddd dddd (day, short and long day name),
// m mm mmm mmmm (month), yy yyyy, h hh (hour), n nn (minute), s ss (second), ampm / am/pm / a/p
// (half-day marker, the hour then counts 1..12); text in double or single quotes is copied.
// A 'm' or 'mm' right after an hour is the minute.
std::string FormatDateTime(const std::string& picture, const std::tm& t);

// The local date and time now in the short date and long time pictures, separated by a blank.
std::string NowDateTimeText();

}  // namespace platform
