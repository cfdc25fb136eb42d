#pragma once
// An applet in-process on the machine's own services, its sound input a WAV file in a temporary
// folder that also holds the settings, and a fake host on the conversation service.
#include "AppletPorts.h"
#include "EventPump.h"
#include "MachinePorts.h"
#include "TestSupport.h"
#include "platform/dde/FakeDdeServer.h"
#include "platform/sound/WaveScript.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// The applet's window of class Form among the top-level windows, or null.
template <class Form>
Form* FindAppletWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<Form*>(w))
            return f;
    return nullptr;
}

// Closes the window and runs the event loop until it is gone; false if it is not gone in time.
inline bool CloseAndWait(QWidget* window)
{
    QPointer<QWidget> alive(window);
    window->close();
    return testsupport::pumpUntil([&] { return alive.isNull(); });
}

class MachineHostTest : public ::testing::Test {
protected:
    // The sound input is dir/wavName, played at pace ("fast", or times real time).
    MachineHostTest(const std::string& wavName, const std::string& pace)
        : wav(dir / wavName), file("WAVE_IN_FILE", wav.string()), paceEnv("WAVE_IN_PACE", pace)
    {
    }
    // The machine's services with the help file in the folder, and the host on the conversation service.
    void InstallOnHost()
    {
        platform::setWaveScript(nullptr);
        InstallMachineServices((dir / "QUENDA.HLP").string());
        ASSERT_TRUE(host.Register());
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    static constexpr const char* kTopic = "Korvanta #3";
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
    std::filesystem::path wav;
    testsupport::ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    testsupport::ScopedEnv file;
    testsupport::ScopedEnv paceEnv;
    platform::dde::FakeDdeServer host{"Korvanta", {kTopic}};
};
