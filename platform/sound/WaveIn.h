#pragma once
// Wave input: the capture devices and their buffer queue.
//
// Devices, in this order of precedence:
//   - WAVE_IN_SCRIPT names a script file (or a script is set in-process with setWaveScript):
//     the scripted device is the only input device (see WaveScript.h);
//   - otherwise a program's own input (InputHook.h, orvhost's simulated band), or else the simulated
//     band orvhost serves to the programs it starts (WAVE_IN_BAND names its socket, BandSource.h), or
//     else a recording WAVE_IN_FILE names, is input device 0, before the sound cards;
//   - then the sound cards: the default capture device first, then each card's capture device.
// With no card, no file and no script there are no devices.
//
// The recording device takes any file libsndfile reads (WAV of any sample format, FLAC, ...) and
// converts it to the opened format: the rate through libsoxr when it differs, mono into both channels,
// the channel WAVE_IN_CHANNEL names (left, the default, or right) of a stereo file for a mono open. A WAV
// file already in the opened format is delivered byte for byte. A file cut short plays what it holds,
// with one warning on standard error. It plays into the queued buffers, paced by WAVE_IN_PACE:
//   unset (or unreadable)  real time, like a card: the file advances with wall time while the
//                          device is started, and samples with no queued buffer are lost
//                          (after a hold-up, what fell due fills the queued buffers oldest first);
//   fast                   only into queued buffers, as fast as they come back; nothing is lost;
//   <factor>, e.g. 50      like real time, at that many times real time.
// Paced, the device holds the program's buffers and a small piece of its own, whatever the pace:
// what finds no buffer is passed over, not kept. The recording's own sound lost that way (not the
// silence after its end) is told on standard error at the first loss, at most every 5 s after while
// more is lost, and in all when the device closes.
// After the end of the recording the device goes on delivering silence; when WAVE_IN_EOF_FILE names a
// path, that file is created once, when the last byte of data has been read. The simulated band is paced
// the same way and makes the same mark when it ends (or its server goes away). It has one listener at
// a time, like a card's capture: an open while another holds it fails with kWaveAllocated.
//
// All calls are made on the thread that runs the Qt event loop. Finished buffers come back as
// queued calls of the open's callback on that thread; the callback may queue the buffer again.
// Once waveInClose has returned no callback of that handle runs, also for buffers that had
// already finished.
#include "Wave.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

namespace platform {

using WaveInHandle = uint32_t;  // 0 is never a handle
using WaveInDone = std::function<void(WaveInHandle, WaveHeader*)>;

uint32_t waveInDeviceCount();
// The device's product name; empty for a number out of range.
std::string waveInDeviceName(uint32_t deviceId);
std::vector<std::string> waveInDeviceNames();
// Whether the device plays a recording (a file, or the simulated band) rather than capturing a
// card: such sound may run faster or slower than real time, and keeps its time only in its samples.
// kWaveMapper is device 0; false for a number out of range.
bool waveInDeviceIsRecording(uint32_t deviceId);

// Opens device deviceId (kWaveMapper: device 0) for capture in format. On success *handle is
// the new handle; on failure it is 0 and the result is the error code, whose text
// waveInErrorText gives (with the detail of this failure, e.g. what is wrong with a WAV file).
// onDone runs for each finished buffer; when context is given, only while context exists.
uint32_t waveInOpen(WaveInHandle* handle, uint32_t deviceId, const WaveFormat& format, WaveInDone onDone,
                    QObject* context = nullptr);

// Prepare marks a header usable; unprepare is refused with kWaveStillPlaying while it is queued.
uint32_t waveInPrepareHeader(WaveInHandle handle, WaveHeader* header);
uint32_t waveInUnprepareHeader(WaveInHandle handle, WaveHeader* header);
// Queues a prepared buffer (flags: done cleared, in-queue set, bytesRecorded 0). A buffer that
// is already queued is refused with kWaveStillPlaying, one not prepared with kWaveUnprepared.
uint32_t waveInAddBuffer(WaveInHandle handle, WaveHeader* header);
// Start capturing into the queued buffers; without a queued buffer samples are lost.
uint32_t waveInStart(WaveInHandle handle);
// Stop capturing; a partly filled buffer comes back with its bytes recorded, empty ones stay queued.
uint32_t waveInStop(WaveInHandle handle);
// Stop, and return every queued buffer (done, bytes recorded as far as filled); position := 0.
uint32_t waveInReset(WaveInHandle handle);
// Refused with kWaveStillPlaying while buffers are queued (reset first).
uint32_t waveInClose(WaveInHandle handle);
// Bytes captured into buffers since the open or the last reset (32 bits, wrapping).
uint32_t waveInGetPosition(WaveInHandle handle, uint32_t* bytes);

// The text for code; for the code of the last failed open, the detail of that failure.
std::string waveInErrorText(uint32_t code);

}  // namespace platform
