#include "WaveDevices.h"

#include <QCoreApplication>

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

uint32_t openPrecheck(bool input, const WaveFormat& format, std::string* text)
{
    const std::string side = input ? "Wave input" : "Wave output";
    if (!isSupportedPcm(format)) {
        *text = side + " cannot take this format (" + formatText(format) + ").";
        return kWaveBadFormat;
    }
    if (!QCoreApplication::instance()) {
        *text = side + " needs a running application to deliver its buffers.";
        return kWaveNoDriver;
    }
    return kWaveNoError;
}

uint32_t finishOpen(OpenErrors& errors, bool input, uint32_t deviceId, const WaveFormat& format, uint32_t code,
                    const std::string& text, std::unique_ptr<Backend> backend, WaveStream::Done onDone,
                    QObject* context, std::shared_ptr<WaveScript> script, uint32_t* handle)
{
    if (script)
        script->record(std::string(input ? "open " : "out_open ") + std::to_string(static_cast<int32_t>(deviceId)) +
                       " " + std::to_string(format.samplesPerSec) + " " + std::to_string(format.bitsPerSample) + " " +
                       std::to_string(format.channels) + " -> " + std::to_string(code));
    if (code != kWaveNoError || !backend)
        return errors.fail(code != kWaveNoError ? code : kWaveError, text);
    auto stream = std::make_shared<WaveStream>(input, format, std::move(onDone), context, std::move(script));
    *handle = registerStream(stream);
    stream->startWorker(std::move(backend));
    return kWaveNoError;
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
