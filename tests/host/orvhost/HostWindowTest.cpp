// orvhost's window: the receiver shown and changed by the user, a change told like any other, the
// plug-in opened again from the menu after its window closed; and its pictures for the gallery.
#include "Gallery.h"
#include "HostRig.h"
#include "HostWindow.h"
#include "PluginHost.h"
#include "TestSupport.h"
#include "platform/kvapi32/Kvapi32.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QProgressBar>
#include <QSpinBox>

#include <gmock/gmock.h>

namespace {

using namespace testsupport;
using namespace orvhosttest;

struct WindowRig : HostRig {
    std::unique_ptr<PluginHost> plugin;
    std::unique_ptr<HostWindow> window;

    explicit WindowRig(bool withPlugin) : HostRig(2, false)
    {
        if (withPlugin) {
            plugin = std::make_unique<PluginHost>(core->trace(), core->state());
            std::string error;
            EXPECT_TRUE(plugin->load(libPath("liborvhost_recording_plugin.so").string(), &error)) << error;
        }
        window = std::make_unique<HostWindow>(*core, "/bin/false", plugin.get());
    }
    ~WindowRig()
    {
        window.reset();
        plugin.reset();
        CloseRadioDevice(1);
        CloseRadioDevice(2);
    }
};

TEST(OrvhostWindow, ShowsEveryReceiverValueAndFollowsChangesMadeElsewhere)
{
    WindowRig rig(false);
    struct Case {
        const char* name;
        int value;
    };
    const Case cases[] = {{"Frequency", 451012500}, {"Volume", 40}, {"SignalStrength", 30000},
                          {"Squelch", 20000},       {"ScanState", 1}, {"Mute", 1},
                          {"Attenuator", 1},        {"Power", 0},    {"Mode", 3}};
    for (const Case& c : cases) {
        rig.core->state().setValue(c.name, c.value);
        QWidget* w = rig.window->control(c.name);
        if (auto* box = qobject_cast<QSpinBox*>(w))
            EXPECT_EQ(box->value(), c.value) << c.name;
        else if (auto* check = qobject_cast<QCheckBox*>(w))
            EXPECT_EQ(check->isChecked(), c.value != 0) << c.name;
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            EXPECT_EQ(combo->currentIndex(), c.value) << c.name;
        else
            ADD_FAILURE() << c.name << " has no control";
    }
    EXPECT_EQ(rig.window->levelBar()->value(), 30000);
    EXPECT_EQ(rig.window->reopenAction()->isEnabled(), false) << "no plug-in to open";
}

TEST(OrvhostWindow, AUsersChangeIsToldToThePluginAndTheAppletsLikeAnyOther)
{
    WindowRig rig(true);
    ASSERT_TRUE(rig.plugin->start());
    qobject_cast<QSpinBox*>(rig.window->control("Frequency"))->setValue(452500000);
    qobject_cast<QSpinBox*>(rig.window->control("Volume"))->setValue(99);
    qobject_cast<QCheckBox*>(rig.window->control("Attenuator"))->setChecked(true);
    qobject_cast<QSpinBox*>(rig.window->control("Squelch"))->setValue(25000);
    qobject_cast<QCheckBox*>(rig.window->control("Mute"))->setChecked(true);
    const auto log = Lines(readFile(rig.dir / "plugin.log"));
    for (const char* told : {"notify 0x0800 452500000", "notify 0x0E00 99", "notify 0x0C01 1"})
        EXPECT_THAT(log, ::testing::Contains(told));
    EXPECT_THAT(rig.dde->advised, ::testing::IsSupersetOf({"Squelch 25000", "Mute 1"}));
    EXPECT_EQ(rig.core->state().get("Frequency"), 452500000);
}

TEST(OrvhostWindow, ThePluginMenuOpensThePluginAgainAfterItsWindowClosed)
{
    WindowRig rig(true);
    ASSERT_TRUE(rig.plugin->start());
    EXPECT_FALSE(rig.window->reopenAction()->isEnabled()) << "its window is open";
    rig.plugin->close();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    ASSERT_TRUE(rig.window->reopenAction()->isEnabled());
    EXPECT_EQ(rig.window->reopenAction()->text(), "&Open Recorder");
    CloseRadioDevice(1);  // what the plug-in took at its first start
    rig.window->reopenAction()->trigger();
    EXPECT_TRUE(rig.plugin->attached());
    EXPECT_FALSE(rig.window->reopenAction()->isEnabled());
    const auto log = Lines(readFile(rig.dir / "plugin.log"));
    EXPECT_EQ(std::count(log.begin(), log.end(), "receiver 1"), 2) << "started twice";
}

TEST(OrvhostWindow, Gallery)
{
    {
        WindowRig rig(false);
        rig.core->state().setValue("SignalStrength", 43008);
        rig.core->state().setValue("Squelch", 20000);
        rig.core->state().setValue("ScanState", 1);
        gallerySave(*rig.window, "orvhost-window-scanning");
        EXPECT_THAT(captionsThatDoNotFit(*rig.window), ::testing::IsEmpty());
        EXPECT_THAT(overlappingControls(*rig.window), ::testing::IsEmpty());
    }
    {
        WindowRig rig(true);
        ASSERT_TRUE(rig.plugin->start());
        rig.plugin->close();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        rig.core->state().setValue("SignalStrength", 12288);
        gallerySave(*rig.window, "orvhost-window-plugin-closed");
        EXPECT_THAT(captionsThatDoNotFit(*rig.window), ::testing::IsEmpty());
        EXPECT_THAT(overlappingControls(*rig.window), ::testing::IsEmpty());
    }
}

}  // namespace
