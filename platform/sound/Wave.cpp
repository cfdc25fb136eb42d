#include "Wave.h"

namespace platform {

WaveFormat WaveFormat::pcm(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels)
{
    WaveFormat f;
    f.formatTag = kWaveFormatPcm;
    f.channels = channels;
    f.samplesPerSec = samplesPerSec;
    f.bitsPerSample = bitsPerSample;
    f.blockAlign = static_cast<uint16_t>(bitsPerSample * channels / 8);
    f.avgBytesPerSec = f.blockAlign * samplesPerSec;
    return f;
}

bool isSupportedPcm(const WaveFormat& f)
{
    if (f.formatTag != kWaveFormatPcm)
        return false;
    if (f.channels != 1 && f.channels != 2)
        return false;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16)
        return false;
    if (f.samplesPerSec == 0)
        return false;
    const uint32_t align = f.bitsPerSample * f.channels / 8u;
    return f.blockAlign == align && uint64_t(f.avgBytesPerSec) == uint64_t(align) * f.samplesPerSec;
}

std::string waveErrorText(uint32_t code)
{
    switch (code) {
    case kWaveNoError: return "No error.";
    case kWaveError: return "An unspecified error occurred.";
    case kWaveBadDeviceId: return "The device number is out of range.";
    case kWaveAllocated: return "The device is already in use.";
    case kWaveInvalidHandle: return "The device handle is not valid.";
    case kWaveNoDriver: return "No driver is available for the device.";
    case kWaveNoMemory: return "Not enough memory for the device.";
    case kWaveInvalidParam: return "An invalid parameter was passed.";
    case kWaveBadFormat: return "The device cannot take this wave format.";
    case kWaveStillPlaying: return "Buffers are still queued on the device.";
    case kWaveUnprepared: return "The buffer header is not prepared.";
    default: return "Unknown error " + std::to_string(code) + ".";
    }
}

}  // namespace platform
