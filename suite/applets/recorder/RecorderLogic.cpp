#include "RecorderLogic.h"

#include <cstdio>

uint8_t NormalState(uint8_t state) { return (state & rsStopped) ? rsStopped : state; }

TRecorderControls EnabledControls(uint8_t state, bool playerHasFile)
{
    state = NormalState(state);
    TRecorderControls c;
    const bool stopped = state == rsStopped;
    const bool recording = (state & rsRecording) != 0;
    c.Play = c.Record = c.New = c.Open = stopped;
    c.Stop = c.Pause = !stopped;
    c.AudioFormat = !recording;
    c.Seek = !recording && playerHasFile;
    return c;
}

std::string StateText(uint8_t state)
{
    state = NormalState(state);
    if (state == rsStopped)
        return "Stopped";
    if (state & rsRecording) {
        if (state & rsPaused)
            return "Rec paused";
        return (state & rsSquelched) ? "Squelched" : "Recording";
    }
    return (state & rsPaused) ? "Play paused" : "Playing";
}

bool Squelched(bool squelchControlled, int32_t signalStrength, int32_t squelchLevel)
{
    return squelchControlled && signalStrength < squelchLevel;
}

bool CaptureRuns(uint8_t state) { return (state & (rsPaused | rsSquelched)) == 0; }

std::string TimeText(int64_t tenths)
{
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%.2lld:%.2lld.%lld", static_cast<long long>(tenths / 36000),
                  static_cast<long long>((tenths / 600) % 60), static_cast<long long>((tenths / 10) % 60),
                  static_cast<long long>(tenths % 10));
    return text;
}

std::string SizeText(uint64_t bytes)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1048576.0);
    return text;
}

namespace {

const int kFrequencies[kScaleRows] = {1,   2,   5,    10,   20,   50,   100,   150,   300,
                                      600, 1200, 3000, 6000, 9000, 18000, 36000, 72000, 180000};

}  // namespace

int ScaleFrequency(int row) { return row >= 0 && row < kScaleRows ? kFrequencies[row] : 0; }

int ScaleLimit(int row) { return 15 * ScaleFrequency(row); }

int ScaleRowFor(int maximum)
{
    for (int row = 0; row < kScaleRows; ++row)
        if (ScaleLimit(row) >= maximum)
            return row;
    return -1;
}

std::string ScaleLabel(int row, int64_t e)
{
    char text[64];
    const long long v = e;
    if (row <= 2)
        std::snprintf(text, sizeof text, "%.2f", double(v) * 0.1);
    else if (row <= 5)
        std::snprintf(text, sizeof text, "%lld.0", v / 10);
    else if (row <= 8)
        std::snprintf(text, sizeof text, "%lld:%.2lld", v / 600, (v / 10) % 60);
    else if (row <= 11)
        std::snprintf(text, sizeof text, "%lld:00", v / 600);
    else if (row <= 14)
        std::snprintf(text, sizeof text, "%lld:%.2lld", v / 36000, (v / 600) % 60);
    else
        std::snprintf(text, sizeof text, "%lld:00", v / 36000);
    return text;
}

std::vector<TScaleLabel> ScaleLabels(int row, int maximum)
{
    std::vector<TScaleLabel> labels;
    const int f = ScaleFrequency(row);
    if (maximum <= 0 || f <= 0)
        return labels;
    for (int b = 0; b <= maximum / f; b += 2)
        labels.push_back({b - 1, ScaleLabel(row, int64_t(b) * f)});
    return labels;
}

int32_t CheckedBits(int32_t stored) { return stored == 8 || stored == 16 ? stored : TRecorderSettings().BitsPerSample; }

int32_t CheckedRate(int32_t stored) { return stored > 0 ? stored : TRecorderSettings().SamplingRate; }

int BitsChoice(int32_t bits) { return bits == 8 ? 8 : 16; }

int RateChoice(int32_t rate)
{
    if (rate <= 11025)
        return 11025;
    return rate > 22050 ? 44100 : 22050;
}

int SizeChoiceMB(int32_t maximumBytes)
{
    const int32_t mb = maximumBytes / 1048576;
    for (int choice : {1, 5, 10, 50, 100, 500, 1024})
        if (mb == choice)
            return choice;
    return 2047;
}

bool DriveAlmostFull(uint64_t freeBytes) { return freeBytes < 5000000u; }
