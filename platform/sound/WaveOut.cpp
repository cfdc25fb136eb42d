#include "WaveOut.h"

#include "Alsa.h"
#include "Sources.h"
#include "WaveDevices.h"


namespace platform {

using namespace sound;

namespace {

struct OutDevice {
    bool scripted;
    std::string name;
    std::string pcm;
};

std::vector<OutDevice> outDevices()
{
    std::vector<OutDevice> list;
    if (auto script = currentWaveScript()) {
        list.push_back({true, script->outName, {}});
        return list;
    }
    for (auto& card : cardDevices(false))
        list.push_back({false, card.name, card.pcm});
    return list;
}

OpenErrors& errors()
{
    static OpenErrors e;
    return e;
}

}  // namespace

uint32_t waveOutDeviceCount() { return static_cast<uint32_t>(outDevices().size()); }

std::string waveOutDeviceName(uint32_t deviceId)
{
    auto list = outDevices();
    return deviceId < list.size() ? list[deviceId].name : std::string();
}

std::vector<std::string> waveOutDeviceNames()
{
    std::vector<std::string> names;
    for (auto& d : outDevices())
        names.push_back(d.name);
    return names;
}

uint32_t waveOutOpen(WaveOutHandle* handle, uint32_t deviceId, const WaveFormat& format, WaveOutDone onDone,
                     QObject* context)
{
    if (!handle)
        return errors().fail(kWaveInvalidParam, {});
    *handle = 0;
    const auto list = outDevices();
    const uint32_t index = deviceId == kWaveMapper ? 0 : deviceId;
    if (index >= list.size())
        return errors().fail(kWaveBadDeviceId, {});
    const OutDevice& device = list[index];

    std::shared_ptr<WaveScript> script = device.scripted ? currentWaveScript() : nullptr;
    std::string text;
    uint32_t code = openPrecheck(false, format, &text);
    std::unique_ptr<Backend> backend;
    if (code != kWaveNoError) {
        // refused before any device is touched
    } else if (script) {
        if (!script->loadError.empty()) {
            code = kWaveError;
            text = script->loadError;
        } else {
            backend = std::make_unique<InstantOutput>();
        }
    } else {
        backend = openCard(device.pcm, false, format, &code, &text);
    }
    return finishOpen(errors(), false, deviceId, format, code, text, std::move(backend), std::move(onDone), context,
                      std::move(script), handle);
}

uint32_t waveOutPrepareHeader(WaveOutHandle h, WaveHeader* header)
{
    return onStream(h, false, "prepare", header, [&](WaveStream& s) { return s.prepare(header); });
}

uint32_t waveOutUnprepareHeader(WaveOutHandle h, WaveHeader* header)
{
    return onStream(h, false, "unprepare", header, [&](WaveStream& s) { return s.unprepare(header); });
}

uint32_t waveOutWrite(WaveOutHandle h, WaveHeader* header)
{
    return onStream(h, false, "write", header, [&](WaveStream& s) { return s.add(header); });
}

uint32_t waveOutPause(WaveOutHandle h)
{
    return onStream(h, false, "pause", nullptr, [](WaveStream& s) { return s.stop(); });
}

uint32_t waveOutRestart(WaveOutHandle h)
{
    return onStream(h, false, "restart", nullptr, [](WaveStream& s) { return s.start(); });
}

uint32_t waveOutReset(WaveOutHandle h)
{
    return onStream(h, false, "reset", nullptr, [](WaveStream& s) {
        const uint32_t rc = s.reset();
        s.start();  // after a reset the device plays what is written next
        return rc;
    });
}

uint32_t waveOutClose(WaveOutHandle h) { return closeStream(h, false); }

uint32_t waveOutGetPosition(WaveOutHandle h, uint32_t* bytes)
{
    auto s = findStream(h, false);
    return s ? s->position(bytes) : kWaveInvalidHandle;
}

std::string waveOutErrorText(uint32_t code) { return errors().text(code); }

}  // namespace platform
