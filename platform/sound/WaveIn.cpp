#include "WaveIn.h"

#include "Alsa.h"
#include "BandSource.h"
#include "InputHook.h"
#include "Recording.h"
#include "Sources.h"
#include "WavFile.h"
#include "WaveDevices.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {

using namespace sound;

namespace {

enum class Kind { Script, Hook, Band, File, Card };

struct InDevice {
    Kind kind;
    std::string name;
    std::string path;  // the WAV file, the band's socket, or the card's device
};

std::vector<InDevice> inDevices()
{
    std::vector<InDevice> list;
    if (auto script = currentWaveScript()) {
        list.push_back({Kind::Script, script->inName, {}});
        return list;
    }
    if (const KorvantaInputHook* hook = programInputHook())
        list.push_back({Kind::Hook, hook->name ? hook->name : "Program input", {}});
    else if (const char* band = std::getenv("WAVE_IN_BAND"); band && BandSource::isServed(band))
        list.push_back({Kind::Band, "Simulated band", band});
    else if (const char* file = std::getenv("WAVE_IN_FILE"); file && *file)
        list.push_back({Kind::File, "WAV file " + std::filesystem::path(file).filename().string(), file});
    for (auto& card : cardDevices(true))
        list.push_back({Kind::Card, card.name, card.pcm});
    return list;
}

OpenErrors& errors()
{
    static OpenErrors e;
    return e;
}

// WAVE_IN_EOF_FILE: the file an input creates at its end; empty when unset.
std::filesystem::path eofFile()
{
    const char* eof = std::getenv("WAVE_IN_EOF_FILE");
    return eof ? std::filesystem::path(eof) : std::filesystem::path();
}

std::unique_ptr<Backend> openFile(const std::string& path, const WaveFormat& format, uint32_t* code, std::string* text)
{
    const std::filesystem::path eof = eofFile();
    auto warnCutShort = [&](double seconds) {
        std::fprintf(stderr, "Wave input: recording \"%s\" is cut short; playing the %s s it holds.\n",
                     path.c_str(), platform::FixedText(seconds, 1).c_str());
    };
    // A WAV file already in the opened format is delivered byte for byte.
    WavInfo info;
    std::string ignored;
    if (readWavInfo(path, &info, &ignored) && info.pcm && info.format == format) {
        auto source = std::make_unique<FileSource>(path, info.dataOffset, info.dataSize, silenceByte(format), eof);
        if (!source->ok()) {
            *code = kWaveError;
            *text = "Recording \"" + path + "\" cannot be read.";
            return nullptr;
        }
        if (info.cutShort)
            warnCutShort(double(info.dataSize) / format.avgBytesPerSec);
        return std::make_unique<PacedInput>(std::move(source), pacingFromEnv());
    }
    // Anything else is converted.
    bool cutShort = false;
    auto recording = Recording::open(path, format.samplesPerSec, format.channels, channelChoiceFromEnv(), text, &cutShort);
    if (!recording) {
        *code = kWaveError;
        return nullptr;
    }
    if (cutShort)
        warnCutShort(double(info.dataSize) / std::max<uint32_t>(1, info.format.avgBytesPerSec));
    return std::make_unique<PacedInput>(std::make_unique<RecordingSource>(std::move(recording), format, eof),
                                        pacingFromEnv());
}

}  // namespace

uint32_t waveInDeviceCount() { return static_cast<uint32_t>(inDevices().size()); }

std::string waveInDeviceName(uint32_t deviceId)
{
    auto list = inDevices();
    return deviceId < list.size() ? list[deviceId].name : std::string();
}

std::vector<std::string> waveInDeviceNames()
{
    std::vector<std::string> names;
    for (auto& d : inDevices())
        names.push_back(d.name);
    return names;
}

bool waveInDeviceIsRecording(uint32_t deviceId)
{
    const auto list = inDevices();
    const uint32_t index = deviceId == kWaveMapper ? 0 : deviceId;
    if (index >= list.size())
        return false;
    const Kind kind = list[index].kind;
    return kind == Kind::File || kind == Kind::Band || kind == Kind::Hook;
}

uint32_t waveInOpen(WaveInHandle* handle, uint32_t deviceId, const WaveFormat& format, WaveInDone onDone,
                    QObject* context)
{
    if (!handle)
        return errors().fail(kWaveInvalidParam, {});
    *handle = 0;
    const auto list = inDevices();
    const uint32_t index = deviceId == kWaveMapper ? 0 : deviceId;
    if (index >= list.size())
        return errors().fail(kWaveBadDeviceId, {});
    const InDevice& device = list[index];

    std::shared_ptr<WaveScript> script = device.kind == Kind::Script ? currentWaveScript() : nullptr;
    std::string text;
    uint32_t code = openPrecheck(true, format, &text);
    std::unique_ptr<Backend> backend;
    if (code != kWaveNoError) {
        // refused before any device is touched
    } else if (script) {
        if (!script->loadError.empty()) {
            code = kWaveError;
            text = script->loadError;
        } else if (script->takeFailure()) {
            code = script->failCode;
        } else {
            backend = std::make_unique<PacedInput>(
                std::make_unique<MemorySource>(script->samples, script->silenceAtEnd, silenceByte(format)),
                Pacing{true, 1.0});
        }
    } else if (device.kind == Kind::Hook) {
        if (const KorvantaInputHook* hook = programInputHook()) {
            auto source = std::make_unique<HookSource>(*hook, format, eofFile());
            if (source->held()) {
                backend = std::make_unique<PacedInput>(std::move(source), pacingFromEnv());
            } else {
                code = kWaveAllocated;
                text = std::string(hook->name ? hook->name : "The program's input") +
                       " is in use: another program is listening to it.";
            }
        } else {
            code = kWaveError;
            text = "The program's own input has gone.";
        }
    } else if (device.kind == Kind::Band) {
        if (auto source = BandSource::open(device.path, format, eofFile(), &code, &text))
            backend = std::make_unique<PacedInput>(std::move(source), pacingFromEnv());
    } else if (device.kind == Kind::File) {
        backend = openFile(device.path, format, &code, &text);
    } else {
        backend = openCard(device.path, true, format, &code, &text);
    }
    return finishOpen(errors(), true, deviceId, format, code, text, std::move(backend), std::move(onDone), context,
                      std::move(script), handle);
}

uint32_t waveInPrepareHeader(WaveInHandle h, WaveHeader* header)
{
    return onStream(h, true, "prepare", header, [&](WaveStream& s) { return s.prepare(header); });
}

uint32_t waveInUnprepareHeader(WaveInHandle h, WaveHeader* header)
{
    return onStream(h, true, "unprepare", header, [&](WaveStream& s) { return s.unprepare(header); });
}

uint32_t waveInAddBuffer(WaveInHandle h, WaveHeader* header)
{
    return onStream(h, true, "add", header, [&](WaveStream& s) { return s.add(header); });
}

uint32_t waveInStart(WaveInHandle h)
{
    return onStream(h, true, "start", nullptr, [](WaveStream& s) { return s.start(); });
}

uint32_t waveInStop(WaveInHandle h)
{
    return onStream(h, true, "stop", nullptr, [](WaveStream& s) { return s.stop(); });
}

uint32_t waveInReset(WaveInHandle h)
{
    return onStream(h, true, "reset", nullptr, [](WaveStream& s) { return s.reset(); });
}

uint32_t waveInClose(WaveInHandle h) { return closeStream(h, true); }

uint32_t waveInGetPosition(WaveInHandle h, uint32_t* bytes)
{
    auto s = findStream(h, true);
    return s ? s->position(bytes) : kWaveInvalidHandle;
}

std::string waveInErrorText(uint32_t code) { return errors().text(code); }

}  // namespace platform
