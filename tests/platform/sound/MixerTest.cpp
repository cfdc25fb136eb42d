// The mixer service on a fake mixer: lines, controls, values and changes made elsewhere.
#include "WaveTestKit.h"

#include "Mixer.h"

#include <filesystem>

using namespace platform;
using namespace wavetest;

namespace {

class MixerService : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = std::make_shared<FakeMixer>("Test mixer");
        const uint32_t speakers = fake->addDestination(kMixerDstSpeakers, "Speakers", 2);
        line = fake->addSource(speakers, kMixerSrcLine, "Line", 2);
        fake->addSource(speakers, kMixerSrcMicrophone, "Mic", 1);
        lineVolume = fake->addControl(speakers, line, kMixerControlVolume, false, {100, 201});
        lineMute = fake->addControl(speakers, line, kMixerControlMute, true, {0});
        micVolume = fake->addControl(speakers, 1, kMixerControlVolume, true, {5000});
        setFakeMixers({fake});
    }
    void TearDown() override { setFakeMixers({}); }

    std::shared_ptr<FakeMixer> fake;
    uint32_t line = 0, lineVolume = 0, lineMute = 0, micVolume = 0;
};

TEST_F(MixerService, FindsLinesAndControlsByType)
{
    EXPECT_EQ(mixerDeviceNames(), std::vector<std::string>{"Test mixer"});
    EXPECT_EQ(mixerOpen(1), nullptr);
    auto m = mixerOpen(0);
    ASSERT_NE(m, nullptr);
    MixerLine dest;
    EXPECT_FALSE(m->destination(kMixerDstWaveIn, &dest));
    ASSERT_TRUE(m->destination(kMixerDstSpeakers, &dest));
    EXPECT_EQ(dest.connections, 2u);

    MixerLine src;
    ASSERT_TRUE(m->source(dest.destination, 1, &src));
    EXPECT_EQ(src.name, "Mic");
    EXPECT_EQ(src.componentType, kMixerSrcMicrophone);
    EXPECT_FALSE(m->source(dest.destination, 2, &src)) << "one past the last source";

    ASSERT_TRUE(m->source(dest.destination, 0, &src));
    MixerControl c;
    ASSERT_TRUE(m->control(src, kMixerControlVolume, &c));
    EXPECT_EQ(c.id, lineVolume);
    EXPECT_FALSE(c.uniform);
    EXPECT_FALSE(m->control(src, kMixerControlOnOff, &c));
    ASSERT_TRUE(m->control(src, kMixerControlMute, &c));
    EXPECT_TRUE(c.uniform);

    std::vector<uint32_t> v;
    ASSERT_TRUE(m->getValues(lineVolume, &v));
    EXPECT_EQ(v, (std::vector<uint32_t>{100, 201}));
    EXPECT_TRUE(m->setValues(lineVolume, {7, 8}));
    EXPECT_EQ(fake->values(lineVolume), (std::vector<uint32_t>{7, 8}));
    EXPECT_FALSE(m->setValues(lineVolume, {7})) << "one value per channel";
    EXPECT_FALSE(m->setValues(micVolume, {1, 2})) << "a uniform control has one value";
    EXPECT_FALSE(m->getValues(99, &v));
    EXPECT_EQ(fake->writes(), 1);
}

TEST_F(MixerService, AChangeReachesEveryOpenHandleOnTheEventLoopUntilItIsDestroyed)
{
    auto a = mixerOpen(0), b = mixerOpen(0);
    std::vector<uint32_t> seenA, seenB;
    a->setOnControlChange([&](uint32_t id) { seenA.push_back(id); });
    b->setOnControlChange([&](uint32_t id) { seenB.push_back(id); });

    fake->changeFromOutside(lineMute, {1});
    EXPECT_TRUE(seenA.empty()) << "the event comes through the event loop, not inside the change";
    ASSERT_TRUE(pumpUntil([&] { return seenA.size() == 1 && seenB.size() == 1; }));
    EXPECT_EQ(seenA[0], lineMute);
    std::vector<uint32_t> v;
    a->getValues(lineMute, &v);
    EXPECT_EQ(v, std::vector<uint32_t>{1});

    b->setValues(lineVolume, {1, 2});  // a write of one handle is a change for the others
    fake->changeFromOutside(micVolume, {9});
    a.reset();
    pumpFor(20);
    EXPECT_EQ(seenA.size(), 1u) << "no event after the handle is gone";
    EXPECT_EQ(seenB, (std::vector<uint32_t>{lineMute, lineVolume, micVolume}));
}

TEST(MixerCards, NoCardMeansNoMixers)
{
    if (std::filesystem::exists("/dev/snd"))
        GTEST_SKIP() << "this machine has sound devices";
    setFakeMixers({});
    EXPECT_EQ(mixerDeviceCount(), 0u);
    EXPECT_EQ(mixerOpen(0), nullptr);
}

}  // namespace
