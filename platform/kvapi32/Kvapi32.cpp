// The library's entry points: each finds its receiver in the pool, acts, and records the call.
#include "Kvapi32.h"

#include "CallTrace.h"
#include "RigPool.h"

#include <dlfcn.h>
#include <link.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <mutex>

namespace {

using platform::kvapi::Radio;
using platform::kvapi::RigPool;

// What a receiver was last given, for the getters; reset when it is opened.
struct Settings {
    int32_t power = 0, mute = 0, mode = KVAPI32_MODE_NFM, scan = 0, volume = 0, atten = 0;
    int32_t bfo = 0, ifShift = 0, audioSource = 0, dspSource = 0, agc = 0, ifGain = 0, preamp = 0, mono = 0;
};

std::mutex g_lock;
RigPool g_pool;
std::map<int, Settings> g_settings;
const auto g_loaded = std::chrono::steady_clock::now();

// The configuration is taken up again whenever no receiver is open.
void RefreshIfIdle()
{
    if (g_pool.openCount() != 0)
        return;
    const std::string key = RigPool::ConfigKey();
    if (key != g_pool.key())
        g_pool.build(key);
}

// Calls from the main program are the host's; everything else came through a loaded library.
const char* Direction(void* caller)
{
    Dl_info info;
    link_map* map = nullptr;
    if (caller && ::dladdr1(caller, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) && map && !map->l_prev)
        return "host->kvapi32";
    return "plugin->kvapi32";
}

void Trace(void* caller, const char* call, std::optional<int32_t> receiver, std::initializer_list<int64_t> args,
           int64_t result)
{
    const char* path = std::getenv("KVAPI32_TRACE");
    if (!path || !*path)
        return;
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - g_loaded).count();
    // A host that merges these lines into its own trace gives its start on the same clock.
    if (const char* epoch = std::getenv("KVAPI32_TRACE_EPOCH_MS"); epoch && *epoch) {
        char* end = nullptr;
        const long long ms = std::strtoll(epoch, &end, 10);
        if (*end == '\0') {
            const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            t = double(now.count() - ms) / 1000.0;  // whole milliseconds, as the host counts
        }
    }
    platform::kvapi::AppendTraceLine(path, platform::kvapi::CallTraceLine(t, Direction(caller), call, receiver,
                                                                          std::vector<int64_t>(args), result));
}

// A call on an open receiver: f(radio, settings) gives the result; 0 when the receiver is not open.
template <class R, class F>
R OnReceiver(void* caller, const char* call, int32_t receiver, std::initializer_list<int64_t> args, F&& f)
{
    std::lock_guard<std::mutex> hold(g_lock);
    R result = 0;
    try {
        if (Radio* radio = g_pool.radio(receiver))
            result = f(*radio, g_settings[receiver]);
    } catch (...) {
        result = 0;  // nothing may escape into a C caller
    }
    Trace(caller, call, receiver, args, int64_t(result));
    return result;
}

// A setter that stores the value when the receiver took it (take returns whether it did).
template <class F>
int32_t Set(void* caller, const char* call, int32_t receiver, int32_t value, int32_t Settings::*field, F&& take)
{
    return OnReceiver<int32_t>(caller, call, receiver, {value}, [&](Radio& radio, Settings& s) {
        if (!take(radio))
            return 0;
        s.*field = value;
        return 1;
    });
}

int32_t Store(void* caller, const char* call, int32_t receiver, int32_t value, int32_t Settings::*field)
{
    return Set(caller, call, receiver, value, field, [](Radio&) { return true; });
}

int32_t Get(void* caller, const char* call, int32_t receiver, int32_t Settings::*field)
{
    return OnReceiver<int32_t>(caller, call, receiver, {}, [&](Radio&, Settings& s) { return s.*field; });
}

// Entry points that do nothing here, recorded all the same.
int32_t Nothing(void* caller, const char* call, std::optional<int32_t> receiver, std::initializer_list<int64_t> args)
{
    std::lock_guard<std::mutex> hold(g_lock);
    Trace(caller, call, receiver, args, 0);
    return 0;
}

}  // namespace

#define KV_CALLER __builtin_return_address(0)
#define KV_EXPORT extern "C" __attribute__((visibility("default")))

KV_EXPORT int32_t OpenRadioDevice(int32_t receiver)
{
    std::lock_guard<std::mutex> hold(g_lock);
    int32_t result = 0;
    try {
        RefreshIfIdle();
        result = receiver >= 0 ? g_pool.open(receiver) : 0;
        if (result)
            g_settings[result] = Settings();
    } catch (...) {
        result = 0;
    }
    Trace(KV_CALLER, "OpenRadioDevice", receiver, {}, result);
    return result;
}

KV_EXPORT int32_t CloseRadioDevice(int32_t receiver)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const int32_t result = g_pool.close(receiver) ? 1 : 0;
    Trace(KV_CALLER, "CloseRadioDevice", receiver, {}, result);
    return result;
}

KV_EXPORT int32_t GetRadioDeviceInfo(int32_t receiver, int32_t item)
{
    std::lock_guard<std::mutex> hold(g_lock);
    int32_t result = 0;
    try {
        RefreshIfIdle();
        result = g_pool.usable(receiver) ? 1 : 0;
    } catch (...) {
        result = 0;
    }
    Trace(KV_CALLER, "GetRadioDeviceInfo", receiver, {item}, result);
    return result;
}

KV_EXPORT int32_t GetSignalStrength(int32_t receiver)
{
    return OnReceiver<int32_t>(KV_CALLER, "GetSignalStrength", receiver, {},
                               [](Radio& r, Settings&) { return r.strength().value_or(0); });
}

KV_EXPORT int32_t SetFrequency(int32_t receiver, uint32_t hz)
{
    return OnReceiver<int32_t>(KV_CALLER, "SetFrequency", receiver, {hz},
                               [&](Radio& r, Settings&) { return r.setFrequency(hz) ? 1 : 0; });
}

KV_EXPORT uint32_t GetFrequency(int32_t receiver)
{
    return OnReceiver<uint32_t>(KV_CALLER, "GetFrequency", receiver, {},
                                [](Radio& r, Settings&) { return r.frequency().value_or(0); });
}

KV_EXPORT int32_t SetMode(int32_t receiver, int32_t mode)
{
    return Set(KV_CALLER, "SetMode", receiver, mode, &Settings::mode, [&](Radio& r) { return r.setMode(mode); });
}

KV_EXPORT int32_t SetVolume(int32_t receiver, int32_t volume)
{
    return Set(KV_CALLER, "SetVolume", receiver, volume, &Settings::volume, [&](Radio& r) {
        return volume >= 0 && volume <= KVAPI32_MAX_VOLUME && r.setVolume(volume);
    });
}

KV_EXPORT int32_t SetAtten(int32_t receiver, int32_t on)
{
    return Set(KV_CALLER, "SetAtten", receiver, on, &Settings::atten, [&](Radio& r) { return r.setAtten(on != 0); });
}

KV_EXPORT int32_t SetMute(int32_t receiver, int32_t on)
{
    return Set(KV_CALLER, "SetMute", receiver, on, &Settings::mute, [&](Radio& r) { return r.setMute(on != 0); });
}

KV_EXPORT int32_t SetPower(int32_t receiver, int32_t on)
{
    return Set(KV_CALLER, "SetPower", receiver, on, &Settings::power, [&](Radio& r) { return r.setPower(on != 0); });
}

KV_EXPORT int32_t SetScanMode(int32_t receiver, int32_t mode)
{
    return Store(KV_CALLER, "SetScanMode", receiver, mode, &Settings::scan);
}
KV_EXPORT int32_t SetBFOOffset(int32_t receiver, int32_t hz)
{
    return Store(KV_CALLER, "SetBFOOffset", receiver, hz, &Settings::bfo);
}
KV_EXPORT int32_t SetIFShift(int32_t receiver, int32_t hz)
{
    return Store(KV_CALLER, "SetIFShift", receiver, hz, &Settings::ifShift);
}
KV_EXPORT int32_t SetAudioSource(int32_t receiver, int32_t source)
{
    return Store(KV_CALLER, "SetAudioSource", receiver, source, &Settings::audioSource);
}
KV_EXPORT int32_t SetDSPSource(int32_t receiver, int32_t source)
{
    return Store(KV_CALLER, "SetDSPSource", receiver, source, &Settings::dspSource);
}
KV_EXPORT int32_t SetAGC(int32_t receiver, int32_t agc) { return Store(KV_CALLER, "SetAGC", receiver, agc, &Settings::agc); }
KV_EXPORT int32_t SetIFGain(int32_t receiver, int32_t gain)
{
    return Store(KV_CALLER, "SetIFGain", receiver, gain, &Settings::ifGain);
}
KV_EXPORT int32_t EnableRFPreamp(int32_t receiver, int32_t on)
{
    return Store(KV_CALLER, "EnableRFPreamp", receiver, on != 0, &Settings::preamp);
}
KV_EXPORT int32_t ForceMono(int32_t receiver, int32_t on)
{
    return Store(KV_CALLER, "ForceMono", receiver, on != 0, &Settings::mono);
}

KV_EXPORT int32_t GetMode(int32_t receiver) { return Get(KV_CALLER, "GetMode", receiver, &Settings::mode); }
KV_EXPORT int32_t GetVolume(int32_t receiver) { return Get(KV_CALLER, "GetVolume", receiver, &Settings::volume); }
KV_EXPORT int32_t GetAtten(int32_t receiver) { return Get(KV_CALLER, "GetAtten", receiver, &Settings::atten); }
KV_EXPORT int32_t GetMute(int32_t receiver) { return Get(KV_CALLER, "GetMute", receiver, &Settings::mute); }
KV_EXPORT int32_t GetPower(int32_t receiver) { return Get(KV_CALLER, "GetPower", receiver, &Settings::power); }
KV_EXPORT int32_t GetScanMode(int32_t receiver) { return Get(KV_CALLER, "GetScanMode", receiver, &Settings::scan); }
KV_EXPORT int32_t GetBFOOffset(int32_t receiver) { return Get(KV_CALLER, "GetBFOOffset", receiver, &Settings::bfo); }
KV_EXPORT int32_t GetIFShift(int32_t receiver) { return Get(KV_CALLER, "GetIFShift", receiver, &Settings::ifShift); }
KV_EXPORT int32_t GetAudioSource(int32_t receiver)
{
    return Get(KV_CALLER, "GetAudioSource", receiver, &Settings::audioSource);
}
KV_EXPORT int32_t GetDSPSource(int32_t receiver)
{
    return Get(KV_CALLER, "GetDSPSource", receiver, &Settings::dspSource);
}
KV_EXPORT int32_t GetAGC(int32_t receiver) { return Get(KV_CALLER, "GetAGC", receiver, &Settings::agc); }
KV_EXPORT int32_t GetIFGain(int32_t receiver) { return Get(KV_CALLER, "GetIFGain", receiver, &Settings::ifGain); }
KV_EXPORT int32_t IsRFPreampEnabled(int32_t receiver)
{
    return Get(KV_CALLER, "IsRFPreampEnabled", receiver, &Settings::preamp);
}
KV_EXPORT int32_t IsStereo(int32_t receiver) { return Nothing(KV_CALLER, "IsStereo", receiver, {}); }

KV_EXPORT int32_t dspOpen(int32_t device) { return Nothing(KV_CALLER, "dspOpen", std::nullopt, {device}); }
KV_EXPORT int32_t dspClose(int32_t device) { return Nothing(KV_CALLER, "dspClose", std::nullopt, {device}); }
KV_EXPORT int32_t dspSendByte(int32_t device, int32_t value)
{
    return Nothing(KV_CALLER, "dspSendByte", std::nullopt, {device, value});
}
KV_EXPORT int32_t dspReadByte(int32_t device, int32_t port)
{
    return Nothing(KV_CALLER, "dspReadByte", std::nullopt, {device, port});
}
KV_EXPORT int32_t dspOutWrite(int32_t device, int32_t buffer, int32_t length)
{
    return Nothing(KV_CALLER, "dspOutWrite", std::nullopt, {device, buffer, length});
}
KV_EXPORT int32_t dspInAddBuffer(int32_t device, int32_t buffer, int32_t length)
{
    return Nothing(KV_CALLER, "dspInAddBuffer", std::nullopt, {device, buffer, length});
}
KV_EXPORT int32_t dspPause(int32_t device) { return Nothing(KV_CALLER, "dspPause", std::nullopt, {device}); }
KV_EXPORT int32_t dspResume(int32_t device) { return Nothing(KV_CALLER, "dspResume", std::nullopt, {device}); }
KV_EXPORT int32_t dspOutReset(int32_t device) { return Nothing(KV_CALLER, "dspOutReset", std::nullopt, {device}); }
KV_EXPORT int32_t dspInReset(int32_t device) { return Nothing(KV_CALLER, "dspInReset", std::nullopt, {device}); }
KV_EXPORT int32_t dspInOpen(int32_t device, int32_t format, int32_t window, int32_t flags)
{
    return Nothing(KV_CALLER, "dspInOpen", std::nullopt, {device, format, window, flags});
}
KV_EXPORT int32_t dspOutOpen(int32_t device, int32_t format, int32_t window, int32_t flags)
{
    return Nothing(KV_CALLER, "dspOutOpen", std::nullopt, {device, format, window, flags});
}
KV_EXPORT int32_t EnableRadioNotification(int32_t receiver, int32_t window, int32_t message)
{
    return Nothing(KV_CALLER, "EnableRadioNotification", receiver, {window, message});
}
KV_EXPORT int32_t GetModeStringA(int32_t receiver, int32_t buffer, int32_t length)
{
    return Nothing(KV_CALLER, "GetModeStringA", receiver, {buffer, length});
}
KV_EXPORT int32_t GetModeStringW(int32_t receiver, int32_t buffer, int32_t length)
{
    return Nothing(KV_CALLER, "GetModeStringW", receiver, {buffer, length});
}
KV_EXPORT int32_t GetInterruptCount(int32_t receiver) { return Nothing(KV_CALLER, "GetInterruptCount", receiver, {}); }

KV_EXPORT int32_t OpenRadioCount(void)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const int32_t result = g_pool.openCount();
    Trace(KV_CALLER, "OpenRadioCount", std::nullopt, {}, result);
    return result;
}
