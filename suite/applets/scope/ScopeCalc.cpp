#include "ScopeCalc.h"

#include "MulDiv.h"
#include "platform/ui/Locale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const TTimebaseEntry kScopeTimeBase[kTimebaseCount] = {
    {"100 µs/div", 44, 44100, 256},   {"200 µs/div", 88, 44100, 256},    {"500 µs/div", 220, 44100, 256},
    {"1 ms/div", 441, 44100, 512},     {"2 ms/div", 882, 44100, 1024},    {"5 ms/div", 1102, 22050, 1200},
    {"10 ms/div", 1102, 11025, 1200},  {"20 ms/div", 2205, 11025, 2400},  {"50 ms/div", 5512, 11025, 5600},
    {"100 ms/div", 11025, 11025, 11200},
};

const TTimebaseEntry& TimebaseEntry(int index)
{
    return kScopeTimeBase[index >= 0 && index < kTimebaseCount ? index : 3];
}

int32_t ScreenTimeMs(int32_t samples, int32_t rate)
{
    return rate == 0 ? 0 : MulDiv(samples, 1000, rate);
}

namespace {

int64_t ScaledSamples(int index, uint32_t dataRate)
{
    const TTimebaseEntry& t = TimebaseEntry(index);
    return int64_t(t.Samples) * int64_t(dataRate) / t.Rate;
}

// The general number format with a given number of significant digits, no trailing zeros.
std::string General(double v, int digits)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, std::max(digits, 1));
    std::string s(buf, r.ptr);
    const auto e = s.find('e');
    if (e != std::string::npos)
        s = s.substr(0, e) + "E" + std::to_string(std::atoi(s.c_str() + e + 1));
    std::replace(s.begin(), s.end(), '.', platform::Locale().DecimalSeparator);
    return s;
}

}  // namespace

int32_t ScaledScreenSamples(int index, uint32_t dataRate)
{
    return int32_t(std::clamp<int64_t>(ScaledSamples(index, dataRate), 1, INT32_MAX));
}

bool LoadableRate(int index, uint32_t rate)
{
    const int64_t s = ScaledSamples(index, rate);
    return s >= 1 && s <= INT32_MAX && rate <= uint32_t(INT32_MAX);
}

TSpan ComputeSpan(bool useStartStop, int32_t freq1, int32_t freq2)
{
    TSpan s;
    int64_t upper, width;
    if (useStartStop) {
        upper = std::max(freq1, freq2);
        width = std::llabs(int64_t(freq2) - freq1);
    } else {
        width = freq2;
        upper = int64_t(freq1) + freq2 / 2;
    }
    if (width <= 0)
        width = 100;  // also keeps a negative width from giving a negative bin count
    upper = std::clamp<int64_t>(upper, INT32_MIN / 2, INT32_MAX / 2);
    width = std::min<int64_t>(width, INT32_MAX / 2);
    s.Upper = int32_t(upper);
    s.Width = int32_t(width);
    s.Low = int32_t(upper - width);
    s.Rate = s.Upper < 5001 ? 11025 : s.Upper < 10001 ? 22050 : 44100;
    const int32_t b = MulDiv(s.Rate, 500, s.Width);
    int c = 0;
    for (uint32_t v = b > 0 ? uint32_t(b) : 0; v != 0; v >>= 1)
        ++c;
    s.ReferenceLevel = 0.57 * c;
    // At least two points, at most 8192.
    s.N = c <= 1 ? 2 : std::min(1 << std::min(c - 1, 13), 8192);
    s.FirstBin = MulDiv(s.Low, s.N, s.Rate);
    s.LastBin = MulDiv(s.Upper, s.N, s.Rate);
    return s;
}

int32_t SpectrumHeight(double power, double referenceLevel, int32_t h)
{
    // A power of 0 (or a bad value) has no logarithm: it lies on the bottom line like every power
    // below the reference level.
    if (!(power > 0) || !std::isfinite(power))
        return h;
    const double y = std::nearbyint(h + (referenceLevel - std::log10(power)) * h * 0.125) + 1;
    if (y >= h)
        return h;
    return y < -1e9 ? -1000000000 : int32_t(y);
}

void SpectrumHeights(const double* power, int32_t m, int32_t firstBin, int32_t lastBin, double referenceLevel,
                     int32_t h, std::vector<int32_t>& heights)
{
    const int32_t n = std::max(lastBin - firstBin + 1, 0);
    heights.assign(size_t(n), h);
    const int32_t from = std::max(firstBin, 0);
    const int32_t to = std::min(lastBin, m - 1);
    for (int32_t i = from; i <= to; ++i)
        heights[size_t(i - firstBin)] = SpectrumHeight(power[i], referenceLevel, h);
}

std::string FormatTime(double ms)
{
    // Negative values (a cursor difference) are written like positive ones.
    const double m = std::fabs(ms);
    if (m < 1000)
        return General(ms, 3) + " ms";
    return General(ms / 1000, int(std::nearbyint(std::log10(m))) + 1) + " s";
}

std::string FormatThousands(double value)
{
    const double r = std::nearbyint(value);
    if (!std::isfinite(r) || std::fabs(r) > 9e18)
        return General(value, 15);
    const long long v = static_cast<long long>(r);
    std::string digits = std::to_string(v < 0 ? -v : v);
    const char sep = platform::Locale().ThousandSeparator;
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && sep != '\0')
            out += sep;
        out += digits[i];
    }
    return v < 0 ? "-" + out : out;
}

std::string ScopeCursorText(int count, double t0, const double* values)
{
    if (count <= 0)
        return std::string();
    std::string text = "1 = " + FormatTime(t0 + values[0]);
    if (count >= 2)
        text = text + ",  2 = " + FormatTime(t0 + values[1]) + ",  2-1 = " + FormatTime(values[1] - values[0]);
    return text;
}

std::string AnalyserCursorText(int count, const double* values)
{
    if (count <= 0)
        return std::string();
    std::string text = "1: " + FormatThousands(values[0]);
    for (int i = 1; i < count; ++i)
        text = text + "   " + std::to_string(i + 1) + ": " + FormatThousands(values[i]);
    return text;
}

double ScopeCursorValue(int left, int clientWidth, int32_t screenTimeMs)
{
    const int span = clientWidth - 3;
    return span <= 0 ? 0.0 : double(left - 1) * screenTimeMs / span;
}

double AnalyserCursorValue(int left, int margin, int clientWidth, int32_t low, int32_t width)
{
    const int span = clientWidth - margin - 3;
    return span <= 0 ? double(low) : double(left - margin - 1) * width / span + low;
}

namespace {

int RoundToInt(double v)
{
    const double r = std::nearbyint(v);
    return !std::isfinite(r) ? 0 : int(std::clamp(r, -1e9, 1e9));
}

}  // namespace

int ScopeCursorLeft(double value, int clientWidth, int32_t screenTimeMs)
{
    if (screenTimeMs == 0)
        return 1;
    return RoundToInt((clientWidth - 3) * value / screenTimeMs) + 1;
}

int AnalyserCursorLeft(double value, int margin, int clientWidth, int32_t low, int32_t width)
{
    if (width == 0)
        return margin + 1;
    return RoundToInt((clientWidth - margin - 3) * (value - low) / width) + margin + 1;
}

int TriggerMarkerTop(int clientHeight, int level)
{
    return MulDiv(clientHeight, 255 - level, 255) - 3;
}

int TriggerLevelFromTop(int clientHeight, int top)
{
    if (clientHeight <= 0)
        return 128;
    const int64_t level = 255 - int64_t(top + 3) * 255 / clientHeight;
    return int(std::clamp<int64_t>(level, 0, 255));
}

int32_t GrabScrollMax(int32_t grabbedSamples, int32_t samplesPerScreen)
{
    // From position p a screen is complete when more than S samples follow it: p + S + 1 < grabbed.
    return std::max<int32_t>(grabbedSamples - samplesPerScreen - 2, 0);
}

int32_t GrabScrollBarMax(int32_t grabbedSamples, int32_t samplesPerScreen)
{
    // A scroll bar with a page of S reaches max - S + 1.
    if (grabbedSamples - samplesPerScreen - 2 <= 0)
        return 0;
    return GrabScrollMax(grabbedSamples, samplesPerScreen) + samplesPerScreen - 1;
}

int64_t GrabMemoryLimit(uint64_t physicalBytes)
{
    return int64_t(std::min<uint64_t>(physicalBytes / 2, uint64_t(INT32_MAX)));
}
