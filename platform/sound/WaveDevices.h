#pragma once
// What the input and output calls share: the last open failure's text and the recording of
// calls on scripted handles.
#include "WaveStream.h"

#include <string>

namespace platform::sound {

class OpenErrors {
public:
    uint32_t fail(uint32_t code, const std::string& detail);
    std::string text(uint32_t code);

private:
    std::mutex mutex_;
    uint32_t code_ = 0;
    std::string detail_;
};

std::string formatText(const WaveFormat& f);

// Runs op on the open stream of handle (kWaveInvalidHandle when there is none) and records
// the call when the stream is scripted: "<prefix><name>[ <length>] -> <code>".
template <class Op>
uint32_t onStream(uint32_t handle, bool input, const char* name, const WaveHeader* header, Op op)
{
    auto s = findStream(handle, input);
    if (!s)
        return kWaveInvalidHandle;
    const uint32_t rc = op(*s);
    if (WaveScript* script = s->script()) {
        std::string line = std::string(input ? "" : "out_") + name;
        if (header)
            line += " " + std::to_string(header->bufferLength);
        script->record(line + " -> " + std::to_string(rc));
    }
    return rc;
}

// Why no device of that direction can take an open at all (format, no event loop); empty if none.
uint32_t openPrecheck(bool input, const WaveFormat& format, std::string* text);

// The end of every open: records it on a scripted device, reports a failure, or makes the handle.
uint32_t finishOpen(OpenErrors& errors, bool input, uint32_t deviceId, const WaveFormat& format, uint32_t code,
                    const std::string& text, std::unique_ptr<Backend> backend, WaveStream::Done onDone,
                    QObject* context, std::shared_ptr<WaveScript> script, uint32_t* handle);

// Close: refused while buffers are queued; afterwards no callback of the handle runs.
uint32_t closeStream(uint32_t handle, bool input);

}  // namespace platform::sound
