#pragma once
// Fakes of the recorder's host and capture device, shared by its tests and its gallery.
#include "SuiteFakes.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The host answers the requests for the signal strength and the squelch.
struct TRecorderDde : TFakeDde {
    std::map<std::string, std::string> answers;
    using TFakeDde::TFakeDde;
    std::optional<std::vector<uint8_t>> Request(TDdeConv conv, const std::string& item, int timeoutMs) override
    {
        TFakeDde::Request(conv, item, timeoutMs);
        auto it = answers.find(item);
        if (it == answers.end())
            return std::nullopt;
        std::vector<uint8_t> data(it->second.begin(), it->second.end());
        data.push_back(0);
        return data;
    }
};

// A capture device that counts what it delivered and, when reset, hands back a partly filled buffer.
struct TRecorderWaveIn : TFakeWaveIn {
    uint32_t position = 0;
    size_t tailOnReset = 0;
    TPcmFormat format;
    using TFakeWaveIn::TFakeWaveIn;
    int Open(const TPcmFormat& f) override
    {
        format = f;
        return TFakeWaveIn::Open(f);
    }
    void Stop() override { log->push_back("stop"); }
    void Restart() override { log->push_back("restart"); }
    uint32_t Position() override { return position; }
    void Reset() override
    {
        log->push_back("reset");
        if (tailOnReset > 0 && OnBytes) {
            const std::vector<uint8_t> tail(tailOnReset, 0x55);
            const size_t n = tailOnReset;
            tailOnReset = 0;
            Deliver(tail.data(), n);
        }
    }
    void Deliver(const uint8_t* data, size_t bytes)
    {
        position += uint32_t(bytes);
        OnBytes(0, data, bytes);
    }
};
