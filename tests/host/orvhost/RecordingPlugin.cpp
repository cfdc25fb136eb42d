// A plug-in that records what its host tells it, for the host's tests: every notification as a line
// "notify <code hex> <value>" in the file RECORDING_PLUGIN_LOG names; at start it takes a receiver
// from the receiver library ("receiver <n>"), reads the host's frequency ("frequency <hz>"), sets
// the volume to 77 and tunes the host to 453 MHz ("tuned <hz>").
// With RECORDING_PLUGIN_FAIL set its start fails.
#include "platform/kvapi32/Kvapi32.h"
#include "plugin/frame/OrvPlugin.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

OrvHostCallback gCallback = nullptr;

void Log(const char* format, long a, long b = 0)
{
    const char* path = std::getenv("RECORDING_PLUGIN_LOG");
    if (!path || !*path)
        return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, format, a, b);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t orvPluginInit(int32_t, uint32_t, char* name, uint32_t length)
{
    std::strncpy(name, "Recorder", length);
    return ORV_INTERFACE_VERSION;
}

extern "C" __attribute__((visibility("default"))) int32_t orvPluginStart(OrvHostWindow, const OrvReceiverInfo*,
                                                                         OrvHostCallback callback, uint32_t* flags)
{
    *flags = ORV_PLUGIN_FLAGS;
    if (std::getenv("RECORDING_PLUGIN_FAIL")) {
        callback(ORV_NO_INSTANCE, ORV_DETACH, 0, 9, "Recorder");
        return ORV_START_FAILED;
    }
    gCallback = callback;
    const int32_t secondary = OpenRadioDevice(0);
    Log("receiver %ld", secondary);
    if (secondary > 0)
        SetFrequency(secondary, 1000000);
    Log("frequency %ld", callback(ORV_NO_INSTANCE, ORV_GET, ORV_FREQUENCY, 0, nullptr));
    // Commands of its own: a volume, and a tune the host must tell back before it returns.
    callback(ORV_NO_INSTANCE, ORV_SET_VOLUME, 77, 0, nullptr);
    callback(ORV_NO_INSTANCE, ORV_FREQUENCY, 453000000, 0, nullptr);
    Log("tuned %ld", callback(ORV_NO_INSTANCE, ORV_GET, ORV_FREQUENCY, 0, nullptr));
    return 7;
}

extern "C" __attribute__((visibility("default"))) int32_t orvPluginNotify(OrvHostWindow, int32_t code, int32_t value,
                                                                          int32_t, int32_t)
{
    Log("notify 0x%04lX %ld", code, value);
    if (code == ORV_DETACH && gCallback) {
        gCallback(7, ORV_DETACH, 0, 9, "Recorder");
        gCallback = nullptr;
    }
    return 1;
}

extern "C" __attribute__((visibility("default"))) void orvPluginDone(void) {}
