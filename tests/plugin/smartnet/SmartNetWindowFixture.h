#pragma once
// A SmartNet window made in-process for host window 7 on a silent scripted input, started with its
// clock stopped, with a recording host and two fake receivers, in a folder of its own.
#include "FakeReceiverLibrary.h"
#include "OrvPluginFrame.h"
#include "RecordingHost.h"
#include "SmartNetForm.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

class SmartNetQuietWindow : public ::testing::Test {
protected:
    static constexpr int32_t kTuned = 851000000;
    void SetUp() override
    {
        OrvFrameResetForTest();
        testsupport::writeFile(dir / "quiet.script", "values 0 0 0 0\nsilence_at_end\n");
        host.values[ORV_FREQUENCY] = kTuned;
        form = new TSmartNetForm(7, &info, &RecordingHost::Callback, &host.flags, 1, receivers);
        if (now)
            form->Now = now;
        form->FormCreate();
        ASSERT_TRUE(form->Started());
        form->StartupTimer->stop();
    }
    void TearDown() override
    {
        host.onCall = nullptr;
        if (form)
            form->DestroyNow();
        Pump();
        OrvFrameResetForTest();
    }
    static void Pump() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::function<QDateTime()> now;  // the window's clock when set before SetUp
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    testsupport::ScopedEnv pluginDir{"ORV_PLUGIN_PATH", dir.path().string()};
    testsupport::ScopedEnv script{"WAVE_IN_SCRIPT", (dir / "quiet.script").string()};
    testsupport::ScopedEnv boxes{"MSGBOX_LOG", (dir / "boxes").string()};
    RecordingHost host;
    TFakeReceiverLibrary receivers{2};
    OrvReceiverInfo info = [] {
        OrvReceiverInfo i{};
        i.receiverNumber = 1;
        i.maxVolume = 255;
        return i;
    }();
    TSmartNetForm* form = nullptr;
};
