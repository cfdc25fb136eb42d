#pragma once
// The 300 bit/s tuning indicator in the packet window's status bar: 600 to 1600 Hz across the
// panel, a green bar over 900 to 1305 Hz where the tones belong, a red bar between the two tones
// found, and green ticks every 100 Hz.
#include "platform/ui/Canvas.h"

#include <cstdint>

// lower 0: no tones found (no red bar).
void DrawTuningIndicator(platform::TCanvas& canvas, const platform::TRect& panel, int32_t lower, int32_t upper);
