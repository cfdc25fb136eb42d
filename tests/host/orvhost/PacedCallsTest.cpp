// A long control channel played as fast as the plug-in takes it lists the calls a real-time run
// lists: the repeat window (MPT1327) and the ageing of the on-air list (SmartNet) are timed by the
// recording's own sound, not by the clock, which at this pace sees the whole recording go by in
// a few seconds.
#include "OrvhostRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

struct Grant {
    double t;
    int call;  // index into the plug-in's calls
};

// Three calls, each granted every 6 s from 10 s on; the third granted again 0.5 s after, as a
// system repeats a grant. 13 rounds over 90 s of channel.
std::vector<Grant> Schedule()
{
    std::vector<Grant> grants;
    for (int round = 0; round < 13; ++round) {
        const double t = 10 + 6 * round;
        grants.push_back({t, 0});
        grants.push_back({t + 2, 1});
        grants.push_back({t + 4, 2});
        grants.push_back({t + 4.5, 2});
    }
    return grants;
}

// What a real-time run lists for the schedule: a report is listed again once the plug-in's rule
// says so, given the time since the call was last listed and since it was last reported. No gap
// of the schedule lies within a second of either plug-in's limit (3 s; 2.1 s), so the answer does
// not depend on where the clock's seconds fall or on the length of a buffer.
std::vector<int> ListedAtRealTime(const std::vector<Grant>& grants, bool sinceListed, double limit)
{
    std::map<int, double> listed, reported;
    std::vector<int> calls;
    for (const Grant& g : grants) {
        const std::map<int, double>& since = sinceListed ? listed : reported;
        const auto last = since.find(g.call);
        const bool first = last == since.end();
        if (!first) {
            const double gap = g.t - last->second;
            EXPECT_GT(std::fabs(gap - limit), 1.0) << "a gap of " << gap << " s at " << g.t << " s is too near the limit";
        }
        if (first || g.t - last->second >= limit) {
            calls.push_back(g.call);
            listed[g.call] = g.t;
        }
        reported[g.call] = g.t;
    }
    return calls;
}

struct Plugin {
    const char* name;
    const char* library;
    std::vector<std::string> signal;  // siggen's command and options before the grants
    std::string (*grant)(double t, int call);
    std::string (*line)(int call);  // the call line from " Radio " on
    bool sinceListed;
    double limit;
};

const int kIdents[3][2] = {{100, 200}, {101, 201}, {102, 202}};
const int kChannels[3] = {100, 300, 200};

std::string Fixed(double t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", t);
    return text;
}

const Plugin kPlugins[] = {
    {"Marlet", "libmarlet.so",
     {"mpt1327", "--channels", "2", "--channel", "right", "--snr", "20", "--seconds", "90", "--number", "7.2,20",
      "--number", "7.6,20"},
     [](double t, int c) {
         return Fixed(t) + ",1," + std::to_string(kIdents[c][0]) + "," + std::to_string(kIdents[c][1]) +
                "," + std::to_string(kChannels[c]);
     },
     [](int c) {
         char text[64];
         std::snprintf(text, sizeof text, " Radio 01:%04X and radio 01:%04X on channel %4d", kIdents[c][0],
                       kIdents[c][1], kChannels[c]);
         return std::string(text);
     },
     true, 3.0},
    {"Sarvik", "libsarvik.so",
     {"smartnet", "--system", "0x1234", "--control", "752", "--channels", "2", "--channel", "right", "--snr", "20",
      "--seconds", "90"},
     [](double t, int c) {
         return Fixed(t) + "," + std::to_string(0x101 * (c + 1)) + "," + std::to_string(kChannels[c]) + ",1";
     },
     [](int c) {
         char text[64];
         std::snprintf(text, sizeof text, " Radio %04X-grp on channel %4d", 0x101 * (c + 1), kChannels[c]);
         return std::string(text);
     },
     false, 2.1},
};

void PrintTo(const Plugin& p, std::ostream* os) { *os << p.name; }

class PacedCalls : public ::testing::TestWithParam<Plugin> {};

TEST_P(PacedCalls, FastPaceListsTheCallsOfARealTimeRun)
{
    const Plugin& p = GetParam();
    const std::vector<Grant> grants = Schedule();
    std::vector<std::string> expected;
    for (int call : ListedAtRealTime(grants, p.sinceListed, p.limit))
        expected.push_back(p.line(call));
    ASSERT_EQ(expected.size(), 39u);  // each call every round; the quick repeat never

    TempDir dir;
    const auto wav = dir / "cc.wav";
    std::vector<std::string> gen{binPath("siggen").string()};
    gen.insert(gen.end(), p.signal.begin(), p.signal.end());
    for (const Grant& g : grants)
        gen.insert(gen.end(), {"--grant", p.grant(g.t, g.call)});
    gen.insert(gen.end(), {"--out", wav.string()});
    ASSERT_EQ(runProgram(gen), 0);

    std::string out;
    std::vector<std::string> env = orvhostEnv(dir.path(), dir / "config");
    env.insert(env.end(), {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast"});
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath(p.library).string()}, env,
                              &out, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        addSanitizerReports(dir.path());
    EXPECT_EQ(callLines(out, "1234"), expected) << out;
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, PacedCalls, ::testing::ValuesIn(kPlugins),
                         [](const ::testing::TestParamInfo<Plugin>& info) { return std::string(info.param.name); });

}  // namespace
