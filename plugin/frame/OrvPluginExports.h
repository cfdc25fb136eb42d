#pragma once
// The four functions the host looks up in a decoder plug-in's library. A plug-in's exports source
// names its window class and display name once: ORV_PLUGIN_EXPORTS(TheForm, "Name").
#include "OrvPluginFrame.h"
#include "platform/ui/Application.h"

#include <memory>

// The plug-in's window, built and through its construction; throws when something failed badly.
template <class Form>
TOrvDecoderForm* OrvCreatePluginWindow(OrvHostWindow hostWindow, const OrvReceiverInfo* receiver,
                                       OrvHostCallback callback, uint32_t* flags, OrvInstance instance)
{
    auto form = std::make_unique<Form>(hostWindow, receiver, callback, flags, instance);
    form->FormCreate();
    return form.release();
}

// The plug-in's entry points with exceptions stopped at the boundary, for the window class FORM
// shown under the display name NAME (ANSI bytes).
#define ORV_PLUGIN_EXPORTS(FORM, NAME)                                                                             \
    namespace {                                                                                                    \
    const TOrvPluginInfo& OrvThisPlugin()                                                                          \
    {                                                                                                              \
        static const TOrvPluginInfo info{NAME, OrvCreatePluginWindow<FORM>};                                       \
        return info;                                                                                               \
    }                                                                                                              \
    }                                                                                                              \
    extern "C" {                                                                                                   \
    __attribute__((visibility("default"))) int32_t orvPluginInit(int32_t hostVersion, uint32_t, char* name,       \
                                                                 uint32_t nameLength)                              \
    {                                                                                                              \
        return platform::GuardEntry(0,                                                                             \
                                    [&] { return OrvFrameInit(OrvThisPlugin(), hostVersion, name, nameLength); }); \
    }                                                                                                              \
    __attribute__((visibility("default"))) int32_t orvPluginStart(OrvHostWindow hostWindow,                        \
                                                                  const OrvReceiverInfo* info,                     \
                                                                  OrvHostCallback callback, uint32_t* flags)       \
    {                                                                                                              \
        return platform::GuardEntry(                                                                               \
            ORV_START_FAILED, [&] { return OrvFrameStart(OrvThisPlugin(), hostWindow, info, callback, flags); }); \
    }                                                                                                              \
    __attribute__((visibility("default"))) int32_t orvPluginNotify(OrvHostWindow hostWindow, int32_t code,         \
                                                                   int32_t value, int32_t, int32_t)                \
    {                                                                                                              \
        return platform::GuardEntry(0, [&] { return OrvFrameNotify(hostWindow, code, value); });                   \
    }                                                                                                              \
    __attribute__((visibility("default"))) void orvPluginDone(void)                                                \
    {                                                                                                              \
        platform::GuardEntry([] { OrvFrameDone(); });                                                              \
    }                                                                                                              \
    }
