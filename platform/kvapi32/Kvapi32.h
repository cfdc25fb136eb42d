/* The receiver-control library: a pool of receivers numbered 1..N, driven by number.
 *
 * Every argument is a 32-bit integer; setters return 1 when the receiver took the value and 0
 * otherwise, and every call on a receiver that is not open returns 0 and does nothing.
 *
 * The pool comes from the environment, read whenever no receiver is open:
 *   KVAPI32_FAKE=<file>   a scripted pool for tests (see below); wins over KVAPI32_RIGS
 *   KVAPI32_RIGS=<list>   comma-separated model[:port], one receiver each, numbered in list order;
 *                         model 1 is the simulated rig. A bad entry leaves its receiver
 *                         unavailable (never opened), the others keep their numbers.
 *   neither               two simulated rigs, so everything runs without a radio.
 *   KVAPI32_TRACE=<file>  appends one JSON line per call:
 *     {"t":2.000,"dir":"plugin->kvapi32","call":"SetFrequency","receiver":2,"args":[450137500],"result":1}
 *     t is seconds since the library was loaded, or since KVAPI32_TRACE_EPOCH_MS (milliseconds on the
 *     system's monotonic clock) when that is set; dir is "host->kvapi32" for calls from the main
 *     program and "plugin->kvapi32" for calls from a loaded library; receiver is left out for the
 *     calls that take none.
 *
 * Fake pool script, one statement a line, '#' starts a comment:
 *   receivers <n>                      pool size (1..64, default 2)
 *   strength <receiver> <hz|*> <v>...  what GetSignalStrength reads on that receiver at that
 *                                      frequency (* = any other); successive reads take the values
 *                                      in turn and the last one stays. Unlisted: 0.
 * The script is read again when the file changes.
 *
 * Link this library and not Hamlib: Hamlib exports some of the same names, and a program that put
 * Hamlib ahead of this library would hand its plug-ins Hamlib's symbols. */
#ifndef KVAPI32_H
#define KVAPI32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Mode numbers of SetMode/GetMode. */
#define KVAPI32_MODE_AM 0
#define KVAPI32_MODE_WFM 1
#define KVAPI32_MODE_NFM 2
#define KVAPI32_MODE_USB 3
#define KVAPI32_MODE_LSB 4
#define KVAPI32_MODE_CW 5

/* Volume range of SetVolume/GetVolume. */
#define KVAPI32_MAX_VOLUME 255

/* GetSignalStrength is 0..65535, 512 steps per dB from -64 dB to +64 dB relative to S9
 * (S9 = 32768), so it can be compared with a level on the same scale. */
#define KVAPI32_STRENGTH_S9 32768
#define KVAPI32_STRENGTH_PER_DB 512

/* Opens receiver n, or with 0 the lowest-numbered receiver not yet open; returns its number, or 0
 * when none (or not n) could be opened. */
int32_t OpenRadioDevice(int32_t receiver);
int32_t CloseRadioDevice(int32_t receiver);
/* 1 when the pool has a usable receiver of that number, open or not. */
int32_t GetRadioDeviceInfo(int32_t receiver, int32_t item);
int32_t GetSignalStrength(int32_t receiver);
int32_t SetFrequency(int32_t receiver, uint32_t hz);
int32_t SetMode(int32_t receiver, int32_t mode);
int32_t SetVolume(int32_t receiver, int32_t volume);
int32_t SetAtten(int32_t receiver, int32_t on);
int32_t SetMute(int32_t receiver, int32_t on);
int32_t SetPower(int32_t receiver, int32_t on);
/* Scan mode 1: the receiver stays on the frequency it is given. Stored and read back. */
int32_t SetScanMode(int32_t receiver, int32_t mode);
/* Stored and read back; the simulated and real rigs are not changed by these. */
int32_t SetBFOOffset(int32_t receiver, int32_t hz);
int32_t SetIFShift(int32_t receiver, int32_t hz);
int32_t SetAudioSource(int32_t receiver, int32_t source);
int32_t SetDSPSource(int32_t receiver, int32_t source);
int32_t SetAGC(int32_t receiver, int32_t agc);
int32_t SetIFGain(int32_t receiver, int32_t gain);
int32_t EnableRFPreamp(int32_t receiver, int32_t on);
int32_t ForceMono(int32_t receiver, int32_t on);
uint32_t GetFrequency(int32_t receiver);
int32_t GetMode(int32_t receiver);
int32_t GetVolume(int32_t receiver);
int32_t GetAtten(int32_t receiver);
int32_t GetMute(int32_t receiver);
int32_t GetPower(int32_t receiver);
int32_t GetScanMode(int32_t receiver);
int32_t GetBFOOffset(int32_t receiver);
int32_t GetIFShift(int32_t receiver);
int32_t GetAudioSource(int32_t receiver);
int32_t GetDSPSource(int32_t receiver);
int32_t GetAGC(int32_t receiver);
int32_t GetIFGain(int32_t receiver);
int32_t IsRFPreampEnabled(int32_t receiver);
/* The receivers give mono audio: always 0. */
int32_t IsStereo(int32_t receiver);
/* The receivers' own sound devices are not provided: these do nothing and return 0. */
int32_t dspOpen(int32_t device);
int32_t dspClose(int32_t device);
int32_t dspSendByte(int32_t device, int32_t value);
int32_t dspReadByte(int32_t device, int32_t port);
int32_t dspOutWrite(int32_t device, int32_t buffer, int32_t length);
int32_t dspInAddBuffer(int32_t device, int32_t buffer, int32_t length);
int32_t dspPause(int32_t device);
int32_t dspResume(int32_t device);
int32_t dspOutReset(int32_t device);
int32_t dspInReset(int32_t device);
int32_t dspInOpen(int32_t device, int32_t format, int32_t window, int32_t flags);
int32_t dspOutOpen(int32_t device, int32_t format, int32_t window, int32_t flags);
/* No window notification and no text buffers across 32-bit arguments: these return 0. */
int32_t EnableRadioNotification(int32_t receiver, int32_t window, int32_t message);
int32_t GetModeStringA(int32_t receiver, int32_t buffer, int32_t length);
int32_t GetModeStringW(int32_t receiver, int32_t buffer, int32_t length);
/* The receivers raise no interrupts here: always 0. */
int32_t GetInterruptCount(int32_t receiver);
/* How many receivers are open. */
int32_t OpenRadioCount(void);

#ifdef __cplusplus
}
#endif

#endif /* KVAPI32_H */
