#pragma once
// An MPT1327 window started through the plug-in frame with a fake sound input, fake mixers, a
// recording host and fake receivers, in a folder of its own.
#include "FakeReceiverLibrary.h"
#include "MPT1327Form.h"
#include "OrvPluginFrame.h"
#include "RecordingHost.h"
#include "StartThroughFrame.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>

using namespace testsupport;

// Starts a window of the given class (TMPT1327Form or a test's subclass) through the plug-in frame
// for the host window, as receiver 1 of the recording host, with the receivers for traffic.
template <class Form = TMPT1327Form>
Form* StartThroughFrame(OrvHostWindow hostWindow, RecordingHost& host, TReceiverLibrary& receivers)
{
    return StartThroughFrame<Form>("MPT1327", hostWindow, host, receivers);
}

class MPT1327FakeWindow : public ::testing::Test {
public:
    void SetUp() override
    {
        OrvFrameResetForTest();
        factory.WaveIn = [this] {
            auto w = std::make_unique<TOrvFakeSoundInput>();
            wave = w.get();
            return std::unique_ptr<TOrvSoundInput>(std::move(w));
        };
        factory.Mixer = [](TOrvMixerDestination) -> std::unique_ptr<TOrvMixer> {
            return std::make_unique<TOrvFakeMixer>(1, std::vector{mlSrcLine}, std::vector<std::shared_ptr<TOrvFakeMixerLine>>{});
        };
        factory.InputDeviceCount = [] { return 1u; };
        SetOrvSoundFactory(&factory);
    }
    void TearDown() override
    {
        for (TOrvDecoderForm* f : std::vector(OrvWindows()))
            f->Close();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetOrvSoundFactory(nullptr);
        OrvFrameResetForTest();
    }
    // Starts a window of the given class through the plug-in frame, for host window 55.
    template <class Form = TMPT1327Form>
    Form* Start()
    {
        return StartThroughFrame<Form>(55, host, receivers);
    }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    ScopedEnv pluginDir{"ORV_PLUGIN_PATH", dir.path().string()};
    ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    TOrvSoundFactory factory;
    TOrvFakeSoundInput* wave = nullptr;  // the input of the last window made
    RecordingHost host;
    TFakeReceiverLibrary receivers{2};
};

