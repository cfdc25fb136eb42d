// The mixer component against a fake mixer: lines, per-channel values, writes only on change,
// changes made elsewhere, and a machine with no mixer.
#include "QelSysMixer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <memory>

using namespace platform;

namespace {

void pump()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// One card: the recording side has a microphone and a stereo line input; the playback side a
// CD line with uniform controls and a wave line with no controls.
class SysMixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        card = std::make_shared<FakeMixer>("Fake card");
        const uint32_t rec = card->addDestination(kMixerDstWaveIn, "Recording", 2);
        card->addSource(rec, kMixerSrcMicrophone, "Mic", 1);
        const uint32_t line = card->addSource(rec, kMixerSrcLine, "Line", 2);
        lineMute = card->addControl(rec, line, kMixerControlMute, false, {0, 0});
        lineOnOff = card->addControl(rec, line, kMixerControlOnOff, false, {1, 1});
        lineVolume = card->addControl(rec, line, kMixerControlVolume, false, {100, 201});
        const uint32_t play = card->addDestination(kMixerDstSpeakers, "Speakers", 2);
        const uint32_t cd = card->addSource(play, kMixerSrcCompactDisc, "CD", 2);
        cdVolume = card->addControl(play, cd, kMixerControlVolume, true, {500});
        card->addSource(play, kMixerSrcWaveOut, "Wave", 2);
        setFakeMixers({card});

        mixer = std::make_unique<TQelSysMixer>();
        mixer->OnMuteChange = [this](TQelSysMixer* s) {
            EXPECT_EQ(s, mixer.get());
            ++muteEvents;
        };
        mixer->OnVolumeChange = [this](TQelSysMixer* s) {
            EXPECT_EQ(s, mixer.get());
            ++volumeEvents;
        };
    }
    void TearDown() override
    {
        mixer.reset();
        pump();
        setFakeMixers({});
    }
    void selectLine()
    {
        mixer->SetMixerID(0);
        mixer->SetSourceID(1);
        pump();
        muteEvents = volumeEvents = 0;
    }

    std::shared_ptr<FakeMixer> card;
    uint32_t lineMute = 0, lineOnOff = 0, lineVolume = 0, cdVolume = 0;
    std::unique_ptr<TQelSysMixer> mixer;
    int muteEvents = 0, volumeEvents = 0;
};

TEST_F(SysMixer, OpensTheDestinationOfItsLineTypeAndReadsTheSourceChannels)
{
    EXPECT_EQ(mixer->MixerNames, std::vector<std::string>{"Fake card"});
    EXPECT_EQ(mixer->MixerID(), -1);
    EXPECT_TRUE(mixer->SourceNames().empty());

    mixer->SetMixerID(0);
    EXPECT_EQ(mixer->SourceNames(), (std::vector<std::string>{"Mic", "Line"}));
    EXPECT_EQ(mixer->SourceID(), -1);
    EXPECT_EQ(mixer->GetVolumeAll(), 0u) << "no source selected yet";

    mixer->SetSourceID(1);
    EXPECT_EQ(mixer->SourceType(), mlSrcLine);
    EXPECT_EQ(mixer->GetVolumeAll(), 150u) << "(100 + 201) / 2, truncated";
    EXPECT_EQ(mixer->GetVolumeStat(0), 100u);
    EXPECT_EQ(mixer->GetVolumeStat(1), 201u);
    EXPECT_EQ(mixer->GetVolumeStat(2), 0u);
    EXPECT_EQ(mixer->GetVolumeStat(-1), 0u);
    EXPECT_FALSE(mixer->GetMuteAll());
    EXPECT_TRUE(mixer->GetOnOffStat(0));
    EXPECT_TRUE(mixer->GetOnOffStat(1));

    mixer->SetSourceID(0);
    EXPECT_EQ(mixer->SourceType(), mlSrcMicrophone);
    EXPECT_EQ(mixer->GetVolumeAll(), 0u) << "the microphone has no controls";
}

TEST_F(SysMixer, UniformControlHasOneChannel)
{
    mixer->SetLineType(mlDestSpeakers);
    mixer->SetMixerID(0);
    mixer->SetSourceID(0);
    EXPECT_EQ(mixer->SourceType(), mlSrcCompactDisc);
    EXPECT_EQ(mixer->GetVolumeStat(0), 500u);
    EXPECT_EQ(mixer->GetVolumeStat(1), 0u);
    EXPECT_EQ(mixer->GetVolumeAll(), 500u);

    mixer->SetVolumeStat(1, 9);
    EXPECT_EQ(card->writes(), 0) << "there is no channel 1";
    mixer->SetVolumeStat(0, 700);
    EXPECT_EQ(card->values(cdVolume), std::vector<uint32_t>{700});
    mixer->SetVolumeAll(800);
    EXPECT_EQ(card->values(cdVolume), std::vector<uint32_t>{800});
    EXPECT_EQ(mixer->GetVolumeAll(), 800u);
}

TEST_F(SysMixer, ChangingTheLineTypeRefillsTheSourcesAndSelectsNone)
{
    selectLine();
    ASSERT_EQ(mixer->GetVolumeAll(), 150u);
    mixer->SetLineType(mlDestSpeakers);
    EXPECT_EQ(mixer->SourceNames(), (std::vector<std::string>{"CD", "Wave"}));
    EXPECT_EQ(mixer->SourceID(), -1);
    EXPECT_EQ(mixer->GetVolumeAll(), 0u);
    EXPECT_FALSE(mixer->GetOnOffStat(0));

    mixer->SetLineType(mlDestHeadphones);  // the card has none
    EXPECT_TRUE(mixer->SourceNames().empty());
    mixer->SetSourceID(0);
    EXPECT_EQ(mixer->GetVolumeAll(), 0u);
}

TEST_F(SysMixer, SourceIndexBeyondTheSourcesSelectsNothing)
{
    selectLine();
    for (int32_t index : {2, 3, -7}) {
        SCOPED_TRACE(index);
        mixer->SetSourceID(index);
        EXPECT_EQ(mixer->SourceID(), index);
        EXPECT_EQ(mixer->GetVolumeAll(), 0u);
        EXPECT_FALSE(mixer->GetOnOffStat(0));
        mixer->SetVolumeAll(1);
        mixer->SetMuteAll(true);
        EXPECT_EQ(card->writes(), 0) << "nothing acts on the line selected before";
    }
    mixer->SetSourceID(1);
    EXPECT_EQ(mixer->GetVolumeAll(), 150u) << "still usable";
}

TEST_F(SysMixer, SettersWriteOnlyWhenAValueChanges)
{
    selectLine();
    struct Case {
        const char* what;
        std::function<void(TQelSysMixer&)> set;
        int writes;
    };
    const Case cases[] = {
        {"volume 0 unchanged", [](TQelSysMixer& m) { m.SetVolumeStat(0, 100); }, 0},
        {"volume 0 changed", [](TQelSysMixer& m) { m.SetVolumeStat(0, 101); }, 1},
        {"volume 2 out of range", [](TQelSysMixer& m) { m.SetVolumeStat(2, 5); }, 0},
        {"unmute, none muted", [](TQelSysMixer& m) { m.SetMuteAll(false); }, 0},
        {"mute right", [](TQelSysMixer& m) { m.SetMuteStat(1, true); }, 1},
        {"mute all, one already muted", [](TQelSysMixer& m) { m.SetMuteAll(true); }, 0},
        {"unmute all", [](TQelSysMixer& m) { m.SetMuteAll(false); }, 1},
        {"on/off unchanged", [](TQelSysMixer& m) { m.SetOnOffStat(0, true); }, 0},
        {"on/off changed", [](TQelSysMixer& m) { m.SetOnOffStat(0, false); }, 1},
        {"volume all, always", [](TQelSysMixer& m) { m.SetVolumeAll(150); }, 1},
        {"volume all, same again", [](TQelSysMixer& m) { m.SetVolumeAll(150); }, 1},
    };
    for (const Case& c : cases) {
        const int before = card->writes();
        c.set(*mixer);
        EXPECT_EQ(card->writes() - before, c.writes) << c.what;
    }
    EXPECT_EQ(card->values(lineVolume), (std::vector<uint32_t>{150, 150}));
    EXPECT_EQ(card->values(lineMute), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(card->values(lineOnOff), (std::vector<uint32_t>{0, 1}));
}

TEST_F(SysMixer, ChangesMadeElsewhereAreReadAndReported)
{
    selectLine();
    card->changeFromOutside(lineMute, {1, 0});
    pump();
    EXPECT_EQ(muteEvents, 1);
    EXPECT_EQ(volumeEvents, 0);
    EXPECT_TRUE(mixer->GetMuteAll());
    EXPECT_TRUE(mixer->GetMuteStat(0));

    card->changeFromOutside(lineOnOff, {0, 0});
    pump();
    EXPECT_EQ(muteEvents + volumeEvents, 1) << "on/off changes are not reported";
    EXPECT_TRUE(mixer->GetOnOffStat(0)) << "nor read";

    card->changeFromOutside(lineVolume, {1000, 3000});
    pump();
    EXPECT_EQ(volumeEvents, 1);
    EXPECT_EQ(mixer->GetVolumeAll(), 2000u);

    card->changeFromOutside(cdVolume, {1});  // a line we do not watch
    pump();
    EXPECT_EQ(muteEvents + volumeEvents, 2);
}

TEST_F(SysMixer, ChangesOnTheirWayDoNotReachAClosedOrDestroyedComponent)
{
    selectLine();
    card->changeFromOutside(lineVolume, {1, 1});
    mixer->SetMixerID(-1);
    pump();
    EXPECT_EQ(volumeEvents, 0);

    selectLine();
    bool destroyed = false;
    mixer->OnVolumeChange = [&](TQelSysMixer*) { EXPECT_FALSE(destroyed); };
    card->changeFromOutside(lineVolume, {2, 2});
    mixer.reset();
    destroyed = true;
    pump();
}

TEST(SysMixerNone, WithoutAMixerEveryAccessorReadsNothing)
{
    setFakeMixers({});
    TQelSysMixer mixer;
    // Machines without a sound card have no mixer; elsewhere open one past the last device.
    if (mixerDeviceCount() == 0) {
        EXPECT_TRUE(mixer.MixerNames.empty());
    }
    mixer.SetMixerID(int32_t(mixer.MixerNames.size()));
    mixer.SetSourceID(0);
    mixer.SetVolumeAll(100);
    mixer.SetMuteAll(true);
    mixer.SetVolumeStat(0, 1);
    mixer.SetMuteStat(0, true);
    mixer.SetOnOffStat(0, true);
    EXPECT_TRUE(mixer.SourceNames().empty());
    EXPECT_EQ(mixer.GetVolumeAll(), 0u);
    EXPECT_FALSE(mixer.GetMuteAll());
    EXPECT_EQ(mixer.GetVolumeStat(0), 0u);
    EXPECT_FALSE(mixer.GetMuteStat(0));
    EXPECT_FALSE(mixer.GetOnOffStat(0));
}

TEST(SysMixerTypes, LineTypesStandForTheirComponentTypes)
{
    const std::pair<TQelMixerLineType, uint32_t> table[] = {
        {mlDestDigital, 0x0001}, {mlDestHeadphones, 0x0005}, {mlDestLine, 0x0002}, {mlDestMonitor, 0x0003},
        {mlDestSpeakers, 0x0004}, {mlDestTelephone, 0x0006}, {mlDestUndefined, 0x0000}, {mlDestVoiceIn, 0x0008},
        {mlDestWaveIn, 0x0007}, {mlSrcAnalog, 0x100A}, {mlSrcAuxiliary, 0x1009}, {mlSrcCompactDisc, 0x1005},
        {mlSrcDigital, 0x1001}, {mlSrcLine, 0x1002}, {mlSrcMicrophone, 0x1003}, {mlSrcPCSpeaker, 0x1007},
        {mlSrcSynthesizer, 0x1004}, {mlSrcTelephone, 0x1006}, {mlSrcUndefined, 0x1000}, {mlSrcWaveOut, 0x1008},
    };
    for (const auto& [type, component] : table)
        EXPECT_EQ(QelMixerComponentType(type), component) << int(type);
    EXPECT_EQ(int(mlSrcWaveOut), 19);
}

}  // namespace
