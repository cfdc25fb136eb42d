#include "WaveDevices.h"

namespace platform::sound {

uint32_t OpenErrors::fail(uint32_t code, const std::string& detail)
{
    std::lock_guard lock(mutex_);
    code_ = code;
    detail_ = detail;
    return code;
}

std::string OpenErrors::text(uint32_t code)
{
    std::lock_guard lock(mutex_);
    if (code != kWaveNoError && code == code_ && !detail_.empty())
        return detail_;
    return waveErrorText(code);
}

std::string formatText(const WaveFormat& f)
{
    return std::to_string(f.samplesPerSec) + " Hz, " + std::to_string(f.bitsPerSample) + " bits, " +
           std::to_string(f.channels) + (f.channels == 1 ? " channel" : " channels");
}

uint32_t closeStream(uint32_t handle, bool input)
{
    return onStream(handle, input, "close", nullptr, [&](WaveStream& s) {
        if (s.hasQueued())
            return kWaveStillPlaying;
        unregisterStream(handle);  // joins the worker; pending callbacks find no handle
        return kWaveNoError;
    });
}

}  // namespace platform::sound
