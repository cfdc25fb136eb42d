#pragma once
// A plug-in's window started through the plug-in frame, as a host starts it: receiver 1 of the
// recording host, with the receivers for traffic.
#include "OrvPluginFrame.h"
#include "RecordingHost.h"
#include "ReceiverLibrary.h"

#include <gtest/gtest.h>

#include <memory>

// Starts a window of the given class, named as its plug-in, for the host window; null when the
// frame did not start it.
template <class Form>
Form* StartThroughFrame(const char* name, OrvHostWindow hostWindow, RecordingHost& host, TReceiverLibrary& receivers)
{
    Form* form = nullptr;
    const TOrvPluginInfo plugin{name, [&](OrvHostWindow w, const OrvReceiverInfo* i, OrvHostCallback c, uint32_t* f,
                                          OrvInstance h) -> TOrvDecoderForm* {
                                    auto made = std::make_unique<Form>(w, i, c, f, h, receivers);
                                    form = made.get();
                                    made->FormCreate();
                                    return made.release();
                                }};
    char buffer[32];
    EXPECT_EQ(OrvFrameInit(plugin, 0x100, buffer, sizeof buffer), 0x100);
    OrvReceiverInfo info{};
    info.receiverNumber = 1;
    info.maxVolume = 255;
    EXPECT_GT(OrvFrameStart(plugin, hostWindow, &info, &RecordingHost::Callback, &host.flags), 0);
    return form;
}
