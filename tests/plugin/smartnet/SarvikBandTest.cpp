// libsarvik.so under orvhost --headless on a simulated band: the control channel's station goes off
// the air and comes back on another channel the system was seen on, and the window hunts for it; and
// a user's retune while a call is followed leaves the host where the user put it.
#include "TestSupport.h"
#include "platform/settings/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using namespace testsupport;

constexpr int64_t kBase = 850000000;
int64_t Channel(int64_t c) { return kBase + c * 25000; }

struct Tune {
    double t;
    int64_t hz;
};

double Number(const std::string& line, const std::string& name)
{
    const auto at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::stod(line.substr(at + name.size() + 3));
}

// Frequency commands of the plug-in, with their times.
std::vector<Tune> Tunes(const std::string& trace)
{
    std::vector<Tune> tunes;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\"plugin->host\"") != std::string::npos && line.find("\"code\":\"0x0800\"") != std::string::npos)
            tunes.push_back({Number(line, "t"), int64_t(Number(line, "param"))});
    return tunes;
}

class SarvikBand : public ::testing::Test {
protected:
    void Settings(bool autoTune, bool autoFollow)
    {
        ScopedEnv env("XDG_CONFIG_HOME", config.string());
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\Motorola SmartNet\\Receiver 1", true));
        reg.WriteBool("Auto Tune To", autoTune);
        reg.WriteBool("Auto Follow", autoFollow);
    }
    void ControlChannel(const std::string& name, int control, std::vector<std::string> more)
    {
        std::vector<std::string> args = {binPath("siggen").string(), "smartnet", "--system", "0x1234", "--control",
                                         std::to_string(control), "--seconds", "17", "--out", (dir / name).string()};
        args.insert(args.end(), more.begin(), more.end());
        ASSERT_EQ(runProgram(args), 0);
    }
    std::vector<Tune> Run(const std::string& band, const std::string& script, int64_t start)
    {
        writeFile(dir / "band.txt", band);
        writeFile(dir / "script.txt", script);
        const auto trace = dir / "trace.jsonl";
        const int rc = runProgram(
            {binPath("orvhost").string(), "--headless", "--plugin", libPath("libsarvik.so").string(), "--band",
             (dir / "band.txt").string(), "--script", (dir / "script.txt").string(), "--frequency",
             std::to_string(start), "--seconds", "16", "--trace", trace.string()},
            {"XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + config.string(),
             "ORV_PLUGIN_PATH=" + dir.path().string(), "MSGBOX_LOG=" + (dir / "boxes").string(),
             "QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=log_path=" + (dir / "asan").string(),
             "UBSAN_OPTIONS=print_stacktrace=1:log_path=" + (dir / "ubsan").string()},
            &out, 120);
        EXPECT_EQ(rc, 0);
        if (rc != 0)
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                if (entry.path().filename().string().find("san.") != std::string::npos)
                    ADD_FAILURE() << entry.path() << ":\n" << readFile(entry.path());
        return Tunes(readFile(trace));
    }

    TempDir dir;
    std::filesystem::path config = dir / "config";
    std::string out;  // what the run wrote: a line per call listed
};

// The station on control channel 752 goes off the air at 10 s; the system was seen on traffic
// channels 100 and 700, and comes back on 700. Each tick with the level below half the reference
// takes the next seen channel upward (wrapping), until the level is back.
TEST_F(SarvikBand, HuntFindsTheControlChannelAgainOnAnotherSeenChannel)
{
    Settings(false, true);
    ControlChannel("cc752.wav", 752, {"--grant", "7.5,0x101,100", "--grant", "8.0,0x202,700"});
    ControlChannel("cc700.wav", 700, {});
    const auto tunes = Run(std::to_string(Channel(752)) + " cc752.wav\n" + std::to_string(Channel(700)) + " cc700.wav\n",
                           "10 station-off " + std::to_string(Channel(752)) + "\n", Channel(752));
    // The hunt: the steps right after the drop, one a tick. Later tunes only return to the new
    // control channel (an entry on the host's channel leaving the list, as at the close) and the
    // close gives the host its frequency back.
    const std::vector<int64_t> cycle = {Channel(100), Channel(700), Channel(752)};
    ASSERT_GE(tunes.size(), 2u);
    EXPECT_EQ(tunes.back().hz, Channel(752));
    std::vector<Tune> hunt;
    for (const Tune& t : std::vector<Tune>(tunes.begin(), tunes.end() - 1)) {
        if (hunt.empty() && t.hz == Channel(752))
            continue;  // before the drop: a return to where the host is
        if (t.hz != cycle[hunt.size() % 3])
            break;
        hunt.push_back(t);
    }
    ASSERT_FALSE(hunt.empty());
    EXPECT_EQ(hunt.back().hz, Channel(700));
    // The first step within a level report and a tick of the drop (the script's clock starts a little
    // after the trace's); one step a tick after it.
    EXPECT_GE(hunt.front().t, 9.0);
    EXPECT_LT(hunt.front().t, 11.5);
    for (size_t i = 1; i < hunt.size(); ++i)
        EXPECT_GE(hunt[i].t - hunt[i - 1].t, 0.03) << "step " << i;
    size_t first = 0;
    while (tunes[first].hz == Channel(752) && first + 1 < tunes.size())
        ++first;
    for (size_t i = first + hunt.size(); i + 1 < tunes.size(); ++i)
        EXPECT_EQ(tunes[i].hz, Channel(700)) << "after the hunt, " << i;
}

// The control channel's station (752) leaves the air at 10 s; the system's other control channel
// (700) is on the air. The host reports levels at its own rhythm: a step must wait for the level of
// the channel it went to, not take the dead channel's level for it. First a band of the two stations
// (the system was seen on 700 and 752 alone), then of three (seen on 100 too, where a weak station
// is): within 2 s of the first step the hunt stays on 700, and once it has heard the system there,
// the calls granted there are listed.
TEST_F(SarvikBand, HuntSettlesOnTheLiveControlChannelAndListsItsCalls)
{
    Settings(false, true);
    ASSERT_EQ(runProgram({binPath("siggen").string(), "tone", "--freq", "1000", "--seconds", "17", "--rate", "44100",
                          "--out", (dir / "weak.wav").string()}),
              0);
    ControlChannel("cc700.wav", 700, {"--grant", "14.0,0x303,200", "--grant", "14.5,0x404,300"});
    for (const bool three : {false, true}) {
        SCOPED_TRACE(three ? "three stations" : "two stations");
        std::filesystem::remove(dir / "SmartNet.MEM");
        std::vector<std::string> grants = {"--grant", "8.0,0x202,700"};
        if (three)
            grants.insert(grants.begin(), {"--grant", "7.5,0x101,100"});
        ControlChannel("cc752.wav", 752, grants);
        std::string band = std::to_string(Channel(752)) + " cc752.wav\n" + std::to_string(Channel(700)) + " cc700.wav\n";
        if (three)
            band += std::to_string(Channel(100)) + " weak.wav 20000\n";  // below half the control channel's
        const auto tunes = Run(band, "10 station-off " + std::to_string(Channel(752)) + "\n", Channel(752));
        std::vector<Tune> hunt;
        for (const Tune& t : tunes)
            if (t.t >= 9.0 && t.hz != Channel(752))
                hunt.push_back(t);
        ASSERT_FALSE(hunt.empty());
        // The last tune away from the dead channel goes to 700, within 2 s of the first step; from then
        // on the host stays there (the close gives the host its frequency back).
        size_t settled = 0;
        for (size_t i = 0; i < tunes.size(); ++i)
            if (tunes[i].hz != Channel(700) && i + 1 < tunes.size())
                settled = i + 1;
        ASSERT_LT(settled, tunes.size());
        EXPECT_EQ(tunes[settled].hz, Channel(700));
        EXPECT_LT(tunes[settled].t - hunt.front().t, 2.0);
        EXPECT_LE(hunt.size(), three ? 4u : 2u) << "steps of the hunt";
        EXPECT_EQ(tunes.back().hz, Channel(752));
        for (size_t i = settled; i + 1 < tunes.size(); ++i)
            EXPECT_EQ(tunes[i].hz, Channel(700)) << "after the hunt, " << i;
        EXPECT_NE(out.find(" System=1234 Radio 0303-grp on channel  200"), std::string::npos) << out;
        EXPECT_NE(out.find(" System=1234 Radio 0404-grp on channel  300"), std::string::npos) << out;
    }
}

// Auto tune follows the call on 100 (a station there keeps the level up); at 11 s the user tunes
// elsewhere: the window lets go of the call and sends the host nowhere.
TEST_F(SarvikBand, UserRetuneWhileFollowingIsLeftAlone)
{
    Settings(true, false);
    ControlChannel("cc752.wav", 752, {"--grant", "8.0,0x101,100"});
    ASSERT_EQ(runProgram({binPath("siggen").string(), "tone", "--freq", "1000", "--seconds", "17", "--rate", "44100",
                          "--out", (dir / "voice.wav").string()}),
              0);
    const auto tunes = Run(std::to_string(Channel(752)) + " cc752.wav\n" + std::to_string(Channel(100)) + " voice.wav\n",
                           "11 Frequency 460000000\n", Channel(752));
    std::vector<int64_t> hz;
    for (const Tune& t : tunes)
        hz.push_back(t.hz);
    // Follow the call, then only the close's restore.
    EXPECT_EQ(hz, (std::vector<int64_t>{Channel(100), Channel(752)}));
}

}  // namespace
