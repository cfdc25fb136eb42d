// The four functions the host looks up in libsarvik.so.
#include "OrvPluginFrame.h"
#include "SmartNetForm.h"
#include "platform/ui/Application.h"

#include <memory>

namespace {

const TOrvPluginInfo& Sarvik()
{
    static const TOrvPluginInfo info{
        "Motorola SmartNet\xAE", [](OrvHostWindow hostWindow, const OrvReceiverInfo* receiver,
                                    OrvHostCallback callback, uint32_t* flags,
                                    OrvInstance instance) -> TOrvDecoderForm* {
            auto form = std::make_unique<TSmartNetForm>(hostWindow, receiver, callback, flags, instance);
            form->FormCreate();
            return form.release();
        }};
    return info;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t orvPluginInit(int32_t hostVersion, uint32_t, char* name,
                                                             uint32_t nameLength)
{
    return platform::GuardEntry(0, [&] { return OrvFrameInit(Sarvik(), hostVersion, name, nameLength); });
}

__attribute__((visibility("default"))) int32_t orvPluginStart(OrvHostWindow hostWindow, const OrvReceiverInfo* info,
                                                              OrvHostCallback callback, uint32_t* flags)
{
    return platform::GuardEntry(ORV_START_FAILED,
                                [&] { return OrvFrameStart(Sarvik(), hostWindow, info, callback, flags); });
}

__attribute__((visibility("default"))) int32_t orvPluginNotify(OrvHostWindow hostWindow, int32_t code, int32_t value,
                                                               int32_t, int32_t)
{
    return platform::GuardEntry(0, [&] { return OrvFrameNotify(hostWindow, code, value); });
}

__attribute__((visibility("default"))) void orvPluginDone(void)
{
    platform::GuardEntry([] { OrvFrameDone(); });
}
}
