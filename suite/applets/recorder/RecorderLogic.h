#pragma once
// The squelch-controlled recorder's rules, apart from its window: the state flags and what each
// state enables, the squelch gate, the time and size texts, the time scale under the track bar and
// the stored settings with the menu choices that show them.
#include <cstdint>
#include <string>
#include <vector>

// One byte of flags; a value holding rsStopped is exactly rsStopped.
constexpr uint8_t rsPlaying = 1;
constexpr uint8_t rsRecording = 2;
constexpr uint8_t rsStopped = 4;
constexpr uint8_t rsPaused = 8;
constexpr uint8_t rsSquelched = 16;

uint8_t NormalState(uint8_t state);

// Which controls a state enables.
struct TRecorderControls {
    bool Play = false, Record = false, New = false, Open = false;  // stopped
    bool Stop = false, Pause = false;                               // not stopped
    bool AudioFormat = false;                                       // not recording
    // Rewind to start, one second back and forward, "&Properties..." and the track bar: not
    // recording, and the player has a file.
    bool Seek = false;
    bool operator==(const TRecorderControls&) const = default;
};

TRecorderControls EnabledControls(uint8_t state, bool playerHasFile);
// Status panel 0: "Stopped", "Rec paused", "Squelched", "Recording", "Play paused", "Playing".
std::string StateText(uint8_t state);

// Whether the gate holds the recording: squelch control on and the signal below the squelch level.
bool Squelched(bool squelchControlled, int32_t signalStrength, int32_t squelchLevel);
// The capture runs only while neither the user nor the gate holds it.
bool CaptureRuns(uint8_t state);

// Tenths of a second as "h:mm:ss.t".
std::string TimeText(int64_t tenths);
// Bytes as megabytes with one decimal, followed by " MB".
std::string SizeText(uint64_t bytes);

// The time scale under the track bar: 18 rows, row i holding its tick frequency f (tenths of a
// second between ticks) and its limit 15 x f.
constexpr int kScaleRows = 18;
int ScaleFrequency(int row);
int ScaleLimit(int row);
// The first row whose limit is at least the track bar's maximum; -1 beyond the last.
int ScaleRowFor(int maximum);
// The label of the tick at e tenths of a second in a row's form.
std::string ScaleLabel(int row, int64_t e);

// One label under the bar: the interior tick it stands at (as the bar counts them) and its text.
struct TScaleLabel {
    int TickIndex;
    std::string Text;
    bool operator==(const TScaleLabel&) const = default;
};
// Every second tick's label from 0 to the maximum; the tick at 0 has no interior index (-1), so the
// painter leaves it out, as it does a tick the bar does not draw.
std::vector<TScaleLabel> ScaleLabels(int row, int maximum);

// The stored settings, checked: a bit count other than 8 or 16 and a rate of 0 or less keep the
// default; any other rate is used as stored.
struct TRecorderSettings {
    int32_t BitsPerSample = 8;
    int32_t SamplingRate = 11025;
    int32_t MaximumFileSize = 2047 * 1048576;
    bool SquelchControlled = true;
};
int32_t CheckedBits(int32_t stored);
int32_t CheckedRate(int32_t stored);

// The menu item that shows a setting: the nearest choice.
int BitsChoice(int32_t bits);            // 8 or 16
int RateChoice(int32_t rate);            // 11025, 22050 or 44100
int SizeChoiceMB(int32_t maximumBytes);  // 1, 5, 10, 50, 100, 500, 1024 or 2047

// Fewer than about five million bytes left on the recording's drive.
bool DriveAlmostFull(uint64_t freeBytes);
