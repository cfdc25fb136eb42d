// The applet registry, the main block's decisions, the GetApplets listing and the sound-input opener.
#include "AppletList.h"
#include "ProgramMain.h"
#include "RegApplet.h"
#include "SuiteBox.h"
#include "SuiteFakes.h"
#include "WaveInOpen.h"
#include "platform/clock/Clock.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::vector<std::string> g_log;
bool g_createResult = true;
bool g_createThrows = false;

bool CreateFirst(int32_t receiver)
{
    g_log.push_back("create first " + std::to_string(receiver));
    return g_createResult;
}

bool CreateSecond(int32_t receiver)
{
    g_log.push_back("create second " + std::to_string(receiver));
    if (g_createThrows)
        throw std::runtime_error("escaped");
    return g_createResult;
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearAppletsForTest();
        RegisterApplet("Test Scope", CreateFirst);
        RegisterApplet("DTMF Decoder", CreateSecond);
        g_log.clear();
        g_createResult = true;
        g_createThrows = false;
        s.ProgramDir = "/opt/q/";
        s.InitApplication = [](const std::string& t, const std::string& h) { g_log.push_back("init " + t + " " + h); };
        s.CreateAboutBox = [] { g_log.push_back("about"); };
        s.ExportAppletList = [](int32_t r) { g_log.push_back("export " + std::to_string(r)); };
        s.AddAppletLock = [this] {
            g_log.push_back(lockHeld ? "lock+ refused" : "lock+");
            return !lockHeld;
        };
        s.DeleteAppletLock = [] { g_log.push_back("lock-"); };
        s.WaveInDeviceCount = [this] {
            g_log.push_back("devices?");
            return devices;
        };
        s.MessageBox = [](const std::string& text, const std::string& caption, unsigned flags) {
            g_log.push_back("box " + caption + " " + std::to_string(flags) + ": " + text);
            return suitebox::IdOk;
        };
        s.RunEventLoop = [] { g_log.push_back("loop"); };
        s.WriteError = [](const std::string& line) { g_log.push_back("stderr " + line); };
    }
    void TearDown() override { ClearAppletsForTest(); }

    // The log of a run that must end with status; 0 unless an applet was asked for and did not start.
    std::vector<std::string> Run(std::vector<std::string> args, int status = 0)
    {
        args.insert(args.begin(), "/opt/q/quenda");
        EXPECT_EQ(ProgramMain(args, s), status) << ::testing::PrintToString(args);
        return g_log;
    }

    TProgramServices s;
    bool lockHeld = false;
    int devices = 1;
};

TEST_F(Startup, RegistryKeepsOrderAndRefusesIndexesOutside)
{
    EXPECT_EQ(AppletCount(), 2);
    EXPECT_EQ(AppletName(0), "Test Scope");
    EXPECT_EQ(AppletName(1), "DTMF Decoder");
    EXPECT_EQ(AppletName(-1), "");
    EXPECT_EQ(AppletName(2), "");
    EXPECT_FALSE(RunApplet(2, 1));
    EXPECT_FALSE(RunApplet(-1, 1));
    EXPECT_TRUE(g_log.empty());
    g_createResult = false;
    EXPECT_FALSE(RunApplet(0, 4));
    EXPECT_THAT(g_log, ElementsAre("create first 4"));
}

TEST_F(Startup, SuiteAppletsTakeTheirPlaceWhateverOrderTheyRegisterIn)
{
    ClearAppletsForTest();
    for (const char* name : {"Signal Classifier", "Own Applet", "Squelch Controlled Sound Recorder", "Packet Radio Decoder",
                             "Audio Scope and Spectrum Analyser", "CTCSS Decoder"})
        RegisterApplet(name, CreateFirst);
    std::vector<std::string> names;
    for (int i = 0; i < AppletCount(); ++i)
        names.push_back(AppletName(i));
    // Absent applets leave no gap; a name the suite does not know stays where it was registered among them.
    EXPECT_THAT(names, ElementsAre("Audio Scope and Spectrum Analyser", "Packet Radio Decoder", "CTCSS Decoder",
                                   "Signal Classifier", "Own Applet", "Squelch Controlled Sound Recorder"));
}

TEST_F(Startup, EndsAtOnceWithoutTwoArgumentsOrWithReceiverZero)
{
    // Nothing is made or shown; the one line on standard error says what the program takes.
    const std::vector<std::vector<std::string>> cases = {{}, {"3"}, {"0", "GetApplets"}, {"-0", "dtmf", "decoder"}};
    for (const auto& args : cases) {
        g_log.clear();
        EXPECT_THAT(Run(args), ElementsAre(std::string("stderr ") + kUsageLine)) << ::testing::PrintToString(args);
    }
}

TEST_F(Startup, ReceiverThatIsNotAnIntegerRaisesBeforeAnything)
{
    for (const char* bad : {"x", "3x", " 3", "", "+", "0x10", "99999999999"}) {
        g_log.clear();
        EXPECT_THROW(ProgramMain({"q", bad, "GetApplets"}, s), EConvertError) << bad;
        EXPECT_TRUE(g_log.empty()) << bad;
    }
    EXPECT_EQ(StrToInt("+12"), 12);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST_F(Startup, GetAppletsInAnyCaseListsWithoutTheLockOrAWindow)
{
    for (const char* word : {"GetApplets", "getapplets", "GETAPPLETS"}) {
        g_log.clear();
        EXPECT_THAT(Run({"-3", word}), ElementsAre("init Korvanta Quenda /opt/q/QUENDA.HLP", "about", "export -3"))
            << word;
    }
}

TEST_F(Startup, LockHeldShowsTheAlreadyRunningBoxAndStartsNothing)
{
    lockHeld = true;
    // The lock is taken in one step and its refusal is the answer: nothing is asked twice.
    EXPECT_THAT(Run({"3", "dtmf", "decoder"}, kAppletNotStarted),
                ElementsAre("init Korvanta Quenda /opt/q/QUENDA.HLP", "lock+ refused",
                            std::string("box Korvanta Quenda 48: ") + kAlreadyRunningText));
}

TEST_F(Startup, NoSoundDeviceLetsTheLockGoBeforeTheSoundCardBox)
{
    devices = 0;
    EXPECT_THAT(Run({"3", "dtmf", "decoder"}, kAppletNotStarted),
                ElementsAre("init Korvanta Quenda /opt/q/QUENDA.HLP", "lock+", "devices?", "lock-",
                            std::string("box Korvanta Quenda 16: ") + kNoSoundCardText));
}

TEST_F(Startup, NameIsJoinedAndMatchedCaseInsensitively)
{
    const char* const kNoSuchDTMF = "stderr no applet is named \"DTMF\"; the applets are \"Test Scope\", \"DTMF Decoder\"";
    struct Case {
        std::vector<std::string> args;
        bool createResult;
        std::vector<std::string> tail;  // what follows the lock being taken
        int status = 0;
    };
    const std::vector<Case> cases = {
        {{"3", "dtmf", "decoder"}, true, {"create second 3", "loop", "lock-"}},
        {{"3", "DTMF DECODER"}, true, {"create second 3", "loop", "lock-"}},
        // did not start: no event loop, and the host is told by the status
        {{"3", "test", "scope"}, false, {"create first 3", "lock-"}, kAppletNotStarted},
        // matches nothing: no box, but standard error names what there is
        {{"3", "DTMF"}, true, {kNoSuchDTMF, "lock-"}, kAppletNotStarted},
        {{"3", "dtmf", "", "decoder"}, true,  // joined with single blanks only
         {"stderr no applet is named \"dtmf  decoder\"; the applets are \"Test Scope\", \"DTMF Decoder\"", "lock-"},
         kAppletNotStarted},
    };
    for (const Case& c : cases) {
        g_log.clear();
        g_createResult = c.createResult;
        std::vector<std::string> want = {"init Korvanta Quenda /opt/q/QUENDA.HLP", "lock+", "devices?"};
        want.insert(want.end(), c.tail.begin(), c.tail.end());
        EXPECT_THAT(Run(c.args, c.status), ElementsAreArray(want)) << ::testing::PrintToString(c.args);
    }
}

TEST_F(Startup, LockIsReleasedWhenAnErrorEscapesTheApplet)
{
    g_createThrows = true;
    EXPECT_THROW(ProgramMain({"q", "2", "dtmf", "decoder"}, s), std::runtime_error);
    EXPECT_EQ(g_log.back(), "lock-");
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "lock+"), 1);
}

TEST_F(Startup, ListingPokesEachAppletWithItsNulCounted)
{
    std::vector<std::string> log;
    TFakeDde dde(&log);
    const std::string path(300, 'p');  // longer than any short-path buffer: sent whole
    ExportAppletList(3, dde, path);
    EXPECT_THAT(log, ElementsAre("init 4190224", "connect Korvanta|Korvanta #3",
                                 "poke 7 Quenda Applet " + std::to_string(11 + 301) + " 30000",
                                 "poke 7 Quenda Applet " + std::to_string(13 + 301) + " 30000", "disconnect 7",
                                 "uninit"));
    ASSERT_EQ(dde.pokes.size(), 2u);
    EXPECT_EQ(std::string(dde.pokes[1].begin(), dde.pokes[1].end()), "DTMF Decoder|" + path + std::string(1, '\0'));
}

TEST_F(Startup, ListingSendsNothingWithoutAHost)
{
    std::vector<std::string> log;
    TFakeDde dde(&log);
    dde.connectAnswer = 0;
    ExportAppletList(5, dde, "/q");
    EXPECT_THAT(log, ElementsAre("init 4190224", "connect Korvanta|Korvanta #5", "uninit"));
}

// The opener against the fake clock, with the boxes answered in turn.
class Opener : public ::testing::Test {
protected:
    void SetUp() override
    {
        suitebox::SetHandler([this](QWidget*, const std::string& text, const std::string& caption, unsigned flags) {
            log.push_back("box " + caption + " " + std::to_string(flags) + ": " + text);
            log.push_back("t=" + std::to_string(clock.nowMs()));
            int a = answers.empty() ? suitebox::IdNo : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return a;
        });
    }
    void TearDown() override { suitebox::SetHandler(nullptr); }

    platform::FakeClock clock;
    platform::ScopedClock scoped{clock};
    std::vector<std::string> log;
    std::vector<int> answers;
};

TEST_F(Opener, SucceedsAfterFailuresWithAPauseAfterEach)
{
    TFakeWaveIn in(&log, {4, 4, 4});
    EXPECT_TRUE(OpenWaveIn(in, TPcmFormat(), nullptr));
    EXPECT_EQ(in.opens, 4u);
    EXPECT_THAT(clock.sleeps(), ElementsAre(200, 200, 200));
}

TEST_F(Opener, OtherErrorShowsItsTextAfterSixAttempts)
{
    TFakeWaveIn in(&log, std::vector<int>(10, 4));
    EXPECT_FALSE(OpenWaveIn(in, TPcmFormat(), nullptr));
    EXPECT_EQ(in.opens, 6u);
    EXPECT_THAT(clock.sleeps(), ElementsAre(200, 200, 200, 200, 200));
    EXPECT_EQ(log[6], "box Wave In Error 16: error 4");
}

TEST_F(Opener, BusyDeviceAsksAgainAtEachYesWithoutAPause)
{
    answers = {suitebox::IdYes, suitebox::IdYes, suitebox::IdNo};
    TFakeWaveIn in(&log, std::vector<int>(20, kWaveFormatError));
    EXPECT_FALSE(OpenWaveIn(in, TPcmFormat(), nullptr));
    EXPECT_EQ(in.opens, 8u);  // six, then one after each Yes
    EXPECT_EQ(clock.sleeps().size(), 5u);
    const std::string ask = std::string("box Warning 52: ") + kSoundCardBusyText;
    EXPECT_THAT(log, ElementsAre("waveopen", "waveopen", "waveopen", "waveopen", "waveopen", "waveopen", ask,
                                 "t=1000", "waveopen", ask, "t=1000", "waveopen", ask, "t=1000"));
}

TEST_F(Opener, YesThatSucceedsOpensTheInput)
{
    answers = {suitebox::IdYes};
    TFakeWaveIn in(&log, std::vector<int>(6, kWaveFormatError));
    EXPECT_TRUE(OpenWaveIn(in, TPcmFormat(), nullptr));
    EXPECT_EQ(in.opens, 7u);
}

}  // namespace
