#pragma once
// A host stand-in for the plug-in tests: its callback records every command and answers ORV_GET
// from a table.
#include "plugin/frame/OrvPlugin.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct HostCall {
    OrvInstance instance;
    int32_t code;
    int32_t param;
    int32_t length;
    std::string text;  // what the pointer pointed at, "" for null
    bool nullPointer;
    uint32_t flagsAtCall;
    bool operator==(const HostCall&) const = default;
};

struct RecordingHost {
    static RecordingHost*& current()
    {
        static RecordingHost* host = nullptr;
        return host;
    }
    RecordingHost() { current() = this; }
    ~RecordingHost() { current() = nullptr; }

    static int32_t Callback(OrvInstance instance, int32_t code, int32_t param, int32_t length, const char* pointer)
    {
        RecordingHost* h = current();
        if (!h)
            return 0;
        h->calls.push_back({instance, code, param, length, pointer ? std::string(pointer, size_t(length > 0 ? length - 1 : 0)) : "",
                            pointer == nullptr, h->flags});
        if (h->onCall)
            h->onCall(h->calls.back());
        if (code == ORV_GET) {
            auto it = h->values.find(param);
            return it == h->values.end() ? 0 : it->second;
        }
        return 0;
    }

    // The host's answers: attenuator, frequency, mode, data output, the 0x0B01 value, volume.
    std::map<int32_t, int32_t> values = {{ORV_ATTENUATOR, 1},  {ORV_FREQUENCY, 450012500}, {ORV_MODE, 3},
                                         {ORV_DATA_OUTPUT, 0}, {ORV_CODE_0B01, 42},         {ORV_VOLUME, 77}};
    std::vector<HostCall> calls;
    std::function<void(const HostCall&)> onCall;
    uint32_t flags = 0;

    // The calls other than the per-buffer data-output command.
    std::vector<std::pair<int32_t, int32_t>> commands(bool withDataOutput = false) const
    {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (const auto& c : calls)
            if (withDataOutput || c.code != ORV_SET_DATA_OUTPUT)
                out.emplace_back(c.code, c.param);
        return out;
    }
    // The frequencies the plug-in tuned the host to, in their order.
    std::vector<int32_t> tunes() const
    {
        std::vector<int32_t> out;
        for (const auto& c : calls)
            if (c.code == ORV_FREQUENCY)
                out.push_back(c.param);
        return out;
    }
};

// The start-up reads, in their order, and what closing sends back for the answers above.
inline std::vector<std::pair<int32_t, int32_t>> StartReads()
{
    return {{ORV_GET, ORV_ATTENUATOR}, {ORV_GET, ORV_FREQUENCY}, {ORV_GET, ORV_MODE},   {ORV_GET, ORV_DATA_OUTPUT},
            {ORV_GET, ORV_CODE_0B01},  {ORV_GET, ORV_VOLUME},    {ORV_GET, ORV_VOLUME}};
}
inline std::vector<std::pair<int32_t, int32_t>> CloseCommands()
{
    return {{ORV_SET_ATTENUATOR, 1}, {ORV_FREQUENCY, 450012500}, {ORV_MODE, 3},     {ORV_SET_DATA_OUTPUT, 0},
            {ORV_SIGNAL_LEVEL, 42},  {ORV_SET_VOLUME, 77},       {ORV_DETACH, 0}};
}
