#pragma once
// Types shared by wave input and wave output: the PCM format record, the caller-owned buffer
// header, the result codes and the header flags.
#include <cstdint>
#include <string>

namespace platform {

// Result codes of every wave call; the numbers are the ones the system compares against.
constexpr uint32_t kWaveNoError = 0;
constexpr uint32_t kWaveError = 1;           // unspecified failure (an unreadable input file, a broken script)
constexpr uint32_t kWaveBadDeviceId = 2;     // no such device (also the default device when there is none)
constexpr uint32_t kWaveAllocated = 4;       // the device is in use by someone else
constexpr uint32_t kWaveInvalidHandle = 5;   // the handle is not open (never opened, or closed)
constexpr uint32_t kWaveNoDriver = 6;        // no event loop to deliver buffers to
constexpr uint32_t kWaveNoMemory = 7;        // out of memory
constexpr uint32_t kWaveInvalidParam = 11;   // null header, buffer without data or length
constexpr uint32_t kWaveBadFormat = 32;      // the device cannot take the requested format
constexpr uint32_t kWaveStillPlaying = 33;   // buffers are still queued (close, unprepare, re-queue)
constexpr uint32_t kWaveUnprepared = 34;     // the header was not prepared

// Device number meaning "the preferred device": device 0 of the list.
constexpr uint32_t kWaveMapper = 0xFFFFFFFFu;

// WaveHeader::flags
constexpr uint32_t kWaveHdrDone = 0x01;      // the device has finished with the buffer
constexpr uint32_t kWaveHdrPrepared = 0x02;  // prepared, may be queued
constexpr uint32_t kWaveHdrInQueue = 0x10;   // queued on the device

constexpr uint16_t kWaveFormatPcm = 1;

// The PCM format handed to the devices, field for field like the platform's format record.
struct WaveFormat {
    uint16_t formatTag = kWaveFormatPcm;
    uint16_t channels = 1;
    uint32_t samplesPerSec = 11025;
    uint32_t avgBytesPerSec = 22050;
    uint16_t blockAlign = 2;
    uint16_t bitsPerSample = 16;

    // A consistent PCM record: block alignment and byte rate derived from the three values.
    static WaveFormat pcm(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels);
    bool operator==(const WaveFormat&) const = default;
};

// True for what the devices accept: PCM, 8 or 16 bits, 1 or 2 channels, a rate above 0,
// block alignment and byte rate consistent with them.
bool isSupportedPcm(const WaveFormat& format);

// A buffer the caller owns and hands to a device. The device writes data (input) or reads it
// (output) between queueing and the buffer-done event; the caller must leave it alone meanwhile.
struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;  // input: bytes filled when the buffer came back
    uintptr_t user = 0;          // the caller's own value, never touched
    uint32_t flags = 0;          // kWaveHdr...
    uint32_t loops = 0;
};

// A short text for a result code, as the message boxes show it.
std::string waveErrorText(uint32_t code);

}  // namespace platform
