#pragma once
// orvhost's core in-process for the tests: a conversation service that records what it advises, in a
// temporary folder that holds the fake receiver library's pool and the recording plug-in's log.
#include "HostCore.h"
#include "TestSupport.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace orvhosttest {

// Every value advised, as "item value", and "disconnect" when the conversations are dropped.
struct FakeService : DdeService {
    std::vector<std::string> advised;
    bool serve(const std::string&, const std::string&) override { return true; }
    void advise(const std::string& item, const Bytes& data) override
    {
        advised.push_back(item + " " + std::string(data.begin(), data.end() - 1));
    }
    void disconnectAll() override { advised.push_back("disconnect"); }
    int conversations() const override { return 1; }
};

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A core for receiver 1 with `receivers` in the pool; its trace in dir/trace where asked for.
struct HostRig {
    testsupport::TempDir dir;
    testsupport::ScopedEnv fake{"KVAPI32_FAKE", (dir / "pool").string()};
    testsupport::ScopedEnv log{"RECORDING_PLUGIN_LOG", (dir / "plugin.log").string()};
    FakeService* dde = nullptr;
    std::unique_ptr<HostCore> core;

    HostRig(int receivers, bool trace)
    {
        testsupport::writeFile(dir / "pool", "receivers " + std::to_string(receivers) + "\n");
        auto service = std::make_unique<FakeService>();
        dde = service.get();
        core = std::make_unique<HostCore>(1, std::move(service), trace ? (dir / "trace").string() : "");
    }
};

}  // namespace orvhosttest
