#pragma once
// Wave output: the playback devices and their buffer queue.
//
// Devices: with a wave script (WaveScript.h) the scripted output device only; otherwise the
// sound cards, the default playback device first. No card: no devices.
//
// Written buffers play in order; each comes back done as a queued call of the open's callback
// on the thread that runs the Qt event loop, where it may be written again. Once waveOutClose
// has returned no callback of that handle runs.
#include "Wave.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

namespace platform {

using WaveOutHandle = uint32_t;  // 0 is never a handle
using WaveOutDone = std::function<void(WaveOutHandle, WaveHeader*)>;

uint32_t waveOutDeviceCount();
std::string waveOutDeviceName(uint32_t deviceId);
std::vector<std::string> waveOutDeviceNames();

uint32_t waveOutOpen(WaveOutHandle* handle, uint32_t deviceId, const WaveFormat& format, WaveOutDone onDone,
                     QObject* context = nullptr);
uint32_t waveOutPrepareHeader(WaveOutHandle handle, WaveHeader* header);
uint32_t waveOutUnprepareHeader(WaveOutHandle handle, WaveHeader* header);
// Queues a prepared buffer for playing (bufferLength bytes); a queued one is refused.
uint32_t waveOutWrite(WaveOutHandle handle, WaveHeader* header);
uint32_t waveOutPause(WaveOutHandle handle);
uint32_t waveOutRestart(WaveOutHandle handle);
// Stops playing and returns every written buffer done; position := 0.
uint32_t waveOutReset(WaveOutHandle handle);
// Refused with kWaveStillPlaying while buffers are queued.
uint32_t waveOutClose(WaveOutHandle handle);
// Bytes played since the open or the last reset (32 bits, wrapping).
uint32_t waveOutGetPosition(WaveOutHandle handle, uint32_t* bytes);

std::string waveOutErrorText(uint32_t code);

}  // namespace platform
