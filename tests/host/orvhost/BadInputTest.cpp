// Whatever a user gets wrong, orvhost ends within seconds with one clear line on standard error, and
// with a non-zero status where the job could not run; nothing waits for an answer.
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <chrono>
#include <map>
#include <sstream>

namespace {

using namespace testsupport;

struct Bad {
    const char* what;
    std::vector<std::string> args;  // after "orvhost"; "@" stands for the test's folder
    std::vector<std::string> env;   // extra environment, "@" as above
    bool fails;                     // a non-zero status
    const char* says;               // part of what standard error says
    bool alone = false;             // and all it says, on one line
};

std::string Expand(std::string s, const std::string& dir)
{
    for (size_t at; (at = s.find('@')) != std::string::npos;)
        s.replace(at, 1, dir);
    return s;
}

TEST(OrvhostBadInput, EveryMistakeEndsQuicklyWithAClearLine)
{
    TempDir dir;
    const std::string d = dir.path().string();
    // The folder is the runs' XDG_RUNTIME_DIR, which must be private for Qt to say nothing of it.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--seconds", "3", "--out",
                          (dir / "cc.wav").string()}),
              0);
    writeFile(dir / "empty.wav", "");
    // Whole WAV headers with no samples after them.
    auto noSamples = [](uint32_t rate, uint16_t channels) {
        std::string b = "RIFF";
        auto put = [&b](uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                b += char(v >> (8 * i));
        };
        put(36, 4);
        b += "WAVEfmt ";
        put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * channels * 2, 4), put(channels * 2, 2),
            put(16, 2);
        b += "data";
        put(0, 4);
        return b;
    };
    writeFile(dir / "none-stereo.wav", noSamples(44100, 2));
    writeFile(dir / "none-stereo-11025.wav", noSamples(11025, 2));
    writeFile(dir / "none-mono.wav", noSamples(11025, 1));
    writeFile(dir / "words.txt", "no recording here\n");
    writeFile(dir / "bad-script", "1 Squelch loud\n");
    writeFile(dir / "bad-band", "450000000 absent.wav\n");
    // The window's sound component tries eleven times before it gives up.
    writeFile(dir / "busy-card", "fail_opens 20\n");
    writeFile(dir / "busy-format", "fail_opens 100000 32\n");
    std::filesystem::create_directories(dir / "damaged");
    writeFile(dir / "damaged" / "MPT1327.MEM", std::string(3000, '\x5A'));
    const std::string marlet = libPath("libmarlet.so").string();
    const std::string sarvik = libPath("libsarvik.so").string();
    const std::vector<Bad> cases = {
        {"missing recording", {"--headless", "--plugin", marlet, "--input", "@/absent.wav"}, {}, true,
         "orvhost: no sound input: Recording \"@/absent.wav\" cannot be opened."},
        {"empty recording", {"--headless", "--plugin", marlet, "--input", "@/empty.wav"}, {}, true,
         "orvhost: no sound input: Recording \"@/empty.wav\" is empty."},
        {"not a recording", {"--headless", "--plugin", marlet, "--input", "@/words.txt"}, {}, true,
         "orvhost: no sound input: Recording \"@/words.txt\" is not a recording that can be read"},
        {"recording with no samples, stereo, to Sarvik", {"--headless", "--plugin", sarvik, "--input", "@/none-stereo.wav"},
         {}, true, "orvhost: no sound input: Recording \"@/none-stereo.wav\" holds no samples.", true},
        {"recording with no samples, mono, to Sarvik", {"--headless", "--plugin", sarvik, "--input", "@/none-mono.wav"},
         {}, true, "orvhost: no sound input: Recording \"@/none-mono.wav\" holds no samples.", true},
        {"recording with no samples, stereo, to Marlet",
         {"--headless", "--plugin", marlet, "--input", "@/none-stereo-11025.wav"}, {}, true,
         "orvhost: no sound input: Recording \"@/none-stereo-11025.wav\" holds no samples.", true},
        {"recording with no samples, mono, to Marlet", {"--headless", "--plugin", marlet},
         {"WAVE_IN_FILE=@/none-mono.wav"}, true, "orvhost: no sound input: Recording \"@/none-mono.wav\" holds no samples.", true},
        {"recording with no samples, mono, to an applet", {"--headless", "--start", "DTMF Decoder", "--input", "@/none-mono.wav"},
         {}, true, "orvhost: no sound input: Recording \"@/none-mono.wav\" holds no samples.", true},
        {"recording with no samples, stereo, to an applet",
         {"--headless", "--start", "Signal Classifier", "--input", "@/none-stereo.wav"}, {}, true,
         "orvhost: no sound input: Recording \"@/none-stereo.wav\" holds no samples.", true},
        {"missing recording by the environment", {"--headless", "--plugin", marlet}, {"WAVE_IN_FILE=@/absent.wav"},
         true, "orvhost: no sound input: Recording \"@/absent.wav\" cannot be opened."},
        {"not a plug-in", {"--headless", "--plugin", "@/cc.wav"}, {}, true, "orvhost: cannot load the plug-in: "},
        {"no plug-in there", {"--headless", "--plugin", "@/none.so"}, {}, true, "orvhost: no plug-in @/none.so"},
        {"plug-in whose window does not start",
         {"--headless", "--plugin", libPath("liborvhost_recording_plugin.so").string(), "--input", "@/cc.wav"},
         {"RECORDING_PLUGIN_FAIL=1"}, true, "orvhost: the plug-in \"Recorder\" did not start"},
        {"sound card that will not open", {"--headless", "--plugin", marlet}, {"WAVE_IN_SCRIPT=@/busy-card"}, true,
         "orvhost: no sound input: "},
        {"applet whose sound card stays busy", {"--headless", "--get-applets", "--start", "Signal Classifier"},
         {"WAVE_IN_SCRIPT=@/busy-format"}, true,
         "Warning: The sound card is currently being used, try again?\n"
         "orvhost: the applet \"Signal Classifier\" did not start (see its message above)\n"},
        {"applet that quenda does not have", {"--headless", "--start", "Signal Classifer"}, {"WAVE_IN_FILE=@/cc.wav"},
         true,
         "quenda: no applet is named \"Signal Classifer\"; the applets are \"Audio Scope and Spectrum Analyser\", "
         "\"Packet Radio Decoder\", \"DTMF Decoder\", \"CTCSS Decoder\", \"Signal Classifier\", \"ACARS Decoder\", "
         "\"Squelch Controlled Sound Recorder\"\n"
         "orvhost: the applet \"Signal Classifer\" did not start (see its message above)\n"},
        {"pace that is not one", {"--headless", "--pace", "quick"}, {}, true,
         "orvhost: --pace takes a factor of real time above 0, or fast"},
        {"pace of no time", {"--headless", "--pace", "0"}, {}, true,
         "orvhost: --pace takes a factor of real time above 0, or fast"},
        {"pace the packet decoder cannot be sure to keep",
         {"--headless", "--pace", "fast", "--start", "packet radio decoder", "--seconds", "1"},
         {"WAVE_IN_FILE=@/cc.wav"}, false,
         "orvhost: at --pace fast the Packet Radio Decoder may lose frames"},
        {"plug-in folder that cannot be used", {"--headless", "--plugin", marlet, "--input", "@/cc.wav"},
         {"ORV_PLUGIN_PATH=@/words.txt"}, true, "Fatal Error!: The database file can't be created!"},
        {"damaged database", {"--headless", "--plugin", marlet, "--input", "@/cc.wav"},
         {"ORV_PLUGIN_PATH=@/damaged"}, true, "Fatal Error!: The database file @/damaged/MPT1327.MEM is damaged!"},
        {"plug-in settings folder that cannot be made", {"--headless", "--plugin", marlet, "--input", "@/cc.wav"},
         {"XDG_CONFIG_HOME=@/words.txt"}, false,
         "orvhost: settings are not saved: cannot create the folder @/words.txt/Korvanta Communications/Tollan/MPT1327 "
         "(Not a directory)\n"},
        {"applet settings folder that cannot be made", {"--headless", "--start", "DTMF Decoder", "--seconds", "2"},
         {"XDG_CONFIG_HOME=@/words.txt", "WAVE_IN_FILE=@/cc.wav"}, false,
         "quenda: settings are not saved: cannot create the folder @/words.txt/Korvanta Communications/Quenda "
         "(Not a directory)\n"},
        {"unknown option", {"--headless", "--volume", "3"}, {}, true, "orvhost: Unknown option 'volume'."},
        {"stray argument", {"--headless", "recording.wav"}, {}, true, "orvhost: unexpected argument \"recording.wav\""},
        {"bad frequency", {"--headless", "--frequency", "ten"}, {}, true, "orvhost: --frequency takes a frequency in Hz"},
        {"bad channel", {"--headless", "--input-channel", "centre"}, {}, true, "orvhost: --input-channel takes left or right"},
        {"bad seconds", {"--headless", "--seconds", "-1"}, {}, true, "orvhost: --seconds takes a number of seconds"},
        {"seconds no timer can count", {"--headless", "--seconds", "inf"}, {}, true,
         "orvhost: --seconds takes a number of seconds"},
        {"bad scan dwell", {"--headless", "--scan-dwell", "-5"}, {}, true, "orvhost: --scan-dwell takes milliseconds"},
        {"receiver beyond an integer", {"--headless", "--receiver", "4294967296"}, {}, true,
         "orvhost: --receiver takes an integer"},
        {"trace that cannot be written", {"--headless", "--trace", "@/no/such/folder/t"}, {}, true,
         "orvhost: cannot write the trace @/no/such/folder/t"},
        {"quenda that is not there", {"--headless", "--start", "DTMF Decoder", "--quenda", "@/quenda"}, {}, true,
         "orvhost: cannot run quenda: \"@/quenda\" is not an executable program"},
        {"bad script", {"--headless", "--script", "@/bad-script"}, {}, true,
         "orvhost: script @/bad-script, line 1: 1 Squelch loud"},
        {"band with a missing recording", {"--headless", "--band", "@/bad-band"}, {}, true,
         "orvhost: band @/bad-band, station on 450000000 Hz: Recording \"@/absent.wav\" cannot be opened."},
        {"no display and no --headless", {"--plugin", marlet}, {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="},
         true, "orvhost: no display to show the window on"},
    };
    for (const Bad& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string(),
                                         binPath("orvhost").string()};
        for (const std::string& a : c.args)
            argv.push_back(Expand(a, d));
        std::vector<std::string> env = {"WAVE_IN_PACE=fast", "XDG_RUNTIME_DIR=" + d,
                                        "XDG_CONFIG_HOME=" + (dir / "config").string(), "ORV_PLUGIN_PATH=" + d,
                                        "QT_QPA_PLATFORM=offscreen", "MSGBOX_LOG=", "WAVE_IN_FILE="};
        for (const std::string& e : c.env)
            env.push_back(Expand(e, d));
        const auto started = std::chrono::steady_clock::now();
        const int rc = runProgram(argv, env, nullptr, 60);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const std::string err = readFile(dir / "err");
        EXPECT_LT(took, 20) << "it should not take this long";
        EXPECT_GE(rc, 0) << "ended by itself, not killed";
        EXPECT_EQ(rc != 0, c.fails) << err;
        EXPECT_THAT(err, ::testing::HasSubstr(Expand(c.says, d)));
        if (c.alone)
            EXPECT_EQ(err, Expand(c.says, d) + "\n");
        // A question asked over and over (a "try again?" loop) is given up after a few times.
        std::map<std::string, int> said;
        std::istringstream lines(err);
        int notSaved = 0;
        for (std::string line; std::getline(lines, line);) {
            EXPECT_LE(++said[line], 4) << line;
            notSaved += line.find("settings are not saved") != std::string::npos;
        }
        EXPECT_LE(notSaved, 1) << "said once in a run";
    }
}

// The environment of the runs below: nothing of the machine's own, and settings in dir.
std::vector<std::string> QuietEnv(const std::string& d)
{
    return {"XDG_RUNTIME_DIR=" + d, "XDG_CONFIG_HOME=" + d + "/config", "ORV_PLUGIN_PATH=" + d,
            "QT_QPA_PLATFORM=offscreen", "MSGBOX_LOG=", "WAVE_IN_FILE="};
}

// Runs orvhost with args; its standard error into *err, its standard output into *out.
int RunOrvhost(const TempDir& dir, const std::vector<std::string>& args, std::string* out, std::string* err,
               std::vector<std::string> env = {})
{
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string(),
                                     binPath("orvhost").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> all = QuietEnv(dir.path().string());
    all.insert(all.end(), env.begin(), env.end());
    const int rc = runProgram(argv, all, out, 60);
    *err = readFile(dir / "err");
    return rc;
}

TEST(OrvhostBadInput, AnOptionWithoutItsValueRunsNothingAndSaysSoInOneLine)
{
    TempDir dir;
    struct Missing {
        std::vector<std::string> args;
        std::string says;
    };
    std::vector<Missing> cases;
    // Each option that takes a value, given last.
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"plugin", "path"}, {"input", "file"}, {"input-channel", "side"},
                                                          {"band", "file"}, {"frequency", "hz"}, {"seconds", "n"},
                                                          {"pace", "factor"}, {"script", "file"}, {"trace", "file"},
                                                          {"receiver", "n"}, {"quenda", "path"}, {"start", "name"},
                                                          {"scan-state", "v"}, {"signal-strength", "v"}, {"squelch", "v"},
                                                          {"mute", "v"}, {"scan-dwell", "ms"}, {"scan-timeout", "ms"}}) {
        cases.push_back({{"--headless", "--" + option}, "orvhost: --" + option + " needs a value (" + value + ")\n"});
    }
    // Followed by another option, or with nothing after its "=".
    cases.push_back({{"--input", "--headless", "--plugin", "marlet"}, "orvhost: --input needs a value (file)\n"});
    cases.push_back({{"--headless", "--start="}, "orvhost: --start needs a value (name)\n"});
    cases.push_back({{"--headless", "--plugin=", "--input", "x.wav"}, "orvhost: --plugin needs a value (path)\n"});
    for (const Missing& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::string out, err;
        EXPECT_EQ(RunOrvhost(dir, c.args, &out, &err), 2);
        EXPECT_EQ(err, c.says);
        EXPECT_EQ(out, "");
    }
    // A value that begins with a dash is still a value.
    std::string out, err;
    EXPECT_EQ(RunOrvhost(dir, {"--headless", "--signal-strength", "-5", "--seconds", "0"}, &out, &err), 0) << err;
}

TEST(OrvhostGetApplets, HeadlessPrintsTheAppletsQuendaListedOneALine)
{
    TempDir dir;
    std::string out, err;
    ASSERT_EQ(RunOrvhost(dir, {"--get-applets", "--headless"}, &out, &err), 0) << err;
    EXPECT_EQ(out, "Audio Scope and Spectrum Analyser\nPacket Radio Decoder\nDTMF Decoder\nCTCSS Decoder\n"
                   "Signal Classifier\nACARS Decoder\nSquelch Controlled Sound Recorder\n");
    // A program that lists nothing is a failure, and says so.
    writeFile(dir / "lister", "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(dir / "lister", std::filesystem::perms::owner_all);
    EXPECT_EQ(RunOrvhost(dir, {"--get-applets", "--headless", "--quenda", (dir / "lister").string()}, &out, &err), 1);
    EXPECT_EQ(out, "");
    EXPECT_THAT(err, ::testing::HasSubstr("lister listed no applets\n"));
}

TEST(OrvhostHelp, ListsTheOptionsTheFormatsAndTheEnvironmentThatMatter)
{
    std::string out;
    ASSERT_EQ(runProgram({binPath("orvhost").string(), "--help"}, {"QT_QPA_PLATFORM=", "DISPLAY="}, &out, 30), 0)
        << "help needs no display";
    for (const char* said : {"--plugin <path>", "--input <file>", "--input-channel <side>", "--band <file>",
                             "--script <file>", "--headless", "--frequency <hz>", "--pace <factor>", "--trace <file>", "WAVE_IN_FILE",
                             "WAVE_IN_PACE", "KVAPI32_RIGS", "ORV_PLUGIN_PATH", "XDG_CONFIG_HOME", "station-off <hz>",
                             "<frequency Hz> <recording> [<level>]", "orvhost --plugin build/lib/libmarlet.so --input"})
        EXPECT_NE(out.find(said), std::string::npos) << said;
}

}  // namespace
