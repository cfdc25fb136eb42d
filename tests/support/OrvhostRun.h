#pragma once
// Running orvhost --headless with a plug-in from a test, and reading what the plug-in told the host
// from the host's trace.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

// The environment of a headless run that keeps its files in dir: settings under config, the
// plug-ins' database in dir, the message boxes in dir/boxes, and the sanitizers' reports in dir.
inline std::vector<std::string> orvhostEnv(const std::filesystem::path& dir, const std::filesystem::path& config)
{
    return {"XDG_RUNTIME_DIR=" + dir.string(), "XDG_CONFIG_HOME=" + config.string(), "ORV_PLUGIN_PATH=" + dir.string(),
            "MSGBOX_LOG=" + (dir / "boxes").string(), "QT_QPA_PLATFORM=offscreen",
            "ASAN_OPTIONS=log_path=" + (dir / "asan").string(),
            "UBSAN_OPTIONS=print_stacktrace=1:log_path=" + (dir / "ubsan").string()};
}

// After a run that failed: each sanitizer report the run left in dir, as a failure of the test.
inline void addSanitizerReports(const std::filesystem::path& dir)
{
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().find("san.") != std::string::npos)
            ADD_FAILURE() << entry.path() << ":\n" << readFile(entry.path());
}

// A number field of a trace line; -1 when the line has none.
inline int64_t traceField(const std::string& line, const std::string& name)
{
    const auto at = line.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + name.size() + 3));
}

struct PluginTunes {
    int64_t startFrequency = -1;  // the host's answer to the plug-in's first frequency read
    std::vector<int64_t> tunes;   // the frequency commands in order
};

// The plug-in's frequency commands in a trace; each must be followed by mode 2 (a failure otherwise).
inline PluginTunes pluginTunes(const std::string& trace)
{
    PluginTunes t;
    std::istringstream lines(trace);
    bool expectMode = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"plugin->host\"") == std::string::npos)
            continue;
        const bool get = line.find("\"code\":\"0x4002\"") != std::string::npos;
        if (get && traceField(line, "param") == 0x0800 && t.startFrequency < 0)
            t.startFrequency = traceField(line, "result");
        if (expectMode) {
            EXPECT_NE(line.find("\"code\":\"0x0900\""), std::string::npos) << line;
            EXPECT_EQ(traceField(line, "param"), 2) << line;
            expectMode = false;
        }
        if (line.find("\"code\":\"0x0800\"") != std::string::npos) {
            t.tunes.push_back(traceField(line, "param"));
            expectMode = true;
        }
    }
    return t;
}

// The call lines a headless run printed for a system (its identity as printed, e.g. "1234"), each
// from " Radio " on.
inline std::vector<std::string> callLines(const std::string& out, const std::string& system)
{
    const std::string mark = " System=" + system + " Radio ";
    std::vector<std::string> calls;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.find(mark) != std::string::npos)
            calls.push_back(line.substr(line.find(" Radio ")));
    return calls;
}

}  // namespace testsupport
