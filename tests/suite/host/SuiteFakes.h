#pragma once
// Recording fakes of the applet ports.
#include "AppletPorts.h"

#include <map>
#include <string>
#include <vector>

// Every call on the DDE port, as a line ("connect Korvanta|Korvanta #3", "poke 1 Quenda Applet 12 30000").
struct TFakeDde : TDdeClientPort {
    std::vector<std::string>* log;
    TDdeConv connectAnswer = 7;
    Callback callback;
    std::vector<std::vector<uint8_t>> pokes;
    explicit TFakeDde(std::vector<std::string>* l) : log(l) {}
    bool Initialize(Callback cb, uint32_t flags) override
    {
        callback = std::move(cb);
        log->push_back("init " + std::to_string(flags));
        return true;
    }
    void Uninitialize() override { log->push_back("uninit"); }
    TDdeConv Connect(const std::string& service, const std::string& topic) override
    {
        log->push_back("connect " + service + "|" + topic);
        return connectAnswer;
    }
    void Disconnect(TDdeConv conv) override { log->push_back("disconnect " + std::to_string(conv)); }
    bool Poke(TDdeConv conv, const std::string& item, const std::vector<uint8_t>& data, int timeoutMs) override
    {
        pokes.push_back(data);
        log->push_back("poke " + std::to_string(conv) + " " + item + " " + std::to_string(data.size()) + " " +
                       std::to_string(timeoutMs));
        return false;  // a failed poke must not stop the caller
    }
    bool AdviseStart(TDdeConv conv, const std::string& item, int timeoutMs) override
    {
        log->push_back("advstart " + std::to_string(conv) + " " + item + " " + std::to_string(timeoutMs));
        return true;
    }
    bool AdviseStop(TDdeConv conv, const std::string& item, int timeoutMs) override
    {
        log->push_back("advstop " + std::to_string(conv) + " " + item + " " + std::to_string(timeoutMs));
        return true;
    }
    std::optional<std::vector<uint8_t>> Request(TDdeConv conv, const std::string& item, int timeoutMs) override
    {
        log->push_back("request " + std::to_string(conv) + " " + item + " " + std::to_string(timeoutMs));
        return std::nullopt;
    }
};

// A sound input whose opens fail with the given codes in turn, then succeed.
struct TFakeWaveIn : TWaveInPort {
    std::vector<std::string>* log;
    std::vector<int> failures;
    size_t opens = 0;
    bool deliverOnReset = false;  // buffers come back while resetting, as a device's do
    explicit TFakeWaveIn(std::vector<std::string>* l, std::vector<int> f = {}) : log(l), failures(std::move(f)) {}
    int Open(const TPcmFormat&) override
    {
        log->push_back("waveopen");
        return opens < failures.size() ? failures[opens++] : (++opens, 0);
    }
    std::string ErrorText(int code) override { return "error " + std::to_string(code); }
    bool Start(int count, int bytes, int queued) override
    {
        log->push_back("start " + std::to_string(count) + "x" + std::to_string(bytes) +
                       (queued == count ? "" : " queued " + std::to_string(queued)));
        return true;
    }
    void Requeue(int buffer) override { log->push_back("requeue " + std::to_string(buffer)); }
    void Reset() override
    {
        log->push_back("reset");
        if (deliverOnReset && OnData) {
            int16_t s[4] = {1, 2, 3, 4};
            OnData(0, s, 4);
        }
    }
    void Close() override { log->push_back("close"); }
};

// Keys held in memory: path -> (name -> text).
struct TFakeSettingsStore {
    std::map<std::string, std::map<std::string, std::string>> keys;
};

struct TFakeSettings : TSettingsPort {
    TFakeSettingsStore* store;
    std::vector<std::string>* log;
    std::map<std::string, std::string>* key = nullptr;
    TFakeSettings(TFakeSettingsStore* s, std::vector<std::string>* l) : store(s), log(l) {}
    bool OpenKey(const std::string& path, bool create) override
    {
        log->push_back(std::string("openkey ") + (create ? "create " : "") + path);
        auto it = store->keys.find(path);
        if (it == store->keys.end()) {
            if (!create)
                return false;
            it = store->keys.emplace(path, std::map<std::string, std::string>{}).first;
        }
        key = &it->second;
        return true;
    }
    void CloseKey() override { key = nullptr; }
    bool ValueExists(const std::string& name) override { return key && key->count(name); }
    std::optional<int32_t> ReadInteger(const std::string& name) override
    {
        if (!ValueExists(name))
            return std::nullopt;
        return std::stoi(key->at(name));
    }
    std::optional<bool> ReadBool(const std::string& name) override
    {
        auto v = ReadInteger(name);
        return v ? std::optional<bool>(*v != 0) : std::nullopt;
    }
    std::optional<std::string> ReadString(const std::string& name) override
    {
        return ValueExists(name) ? std::optional<std::string>(key->at(name)) : std::nullopt;
    }
    void WriteInteger(const std::string& name, int32_t v) override { (*key)[name] = std::to_string(v); }
    void WriteBool(const std::string& name, bool v) override { (*key)[name] = v ? "1" : "0"; }
    void WriteString(const std::string& name, const std::string& v) override { (*key)[name] = v; }
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name) override
    {
        if (!ValueExists(name))
            return std::nullopt;
        const std::string& v = key->at(name);
        return std::vector<uint8_t>(v.begin(), v.end());
    }
    void WriteBinary(const std::string& name, const std::vector<uint8_t>& v) override
    {
        (*key)[name] = std::string(v.begin(), v.end());
    }
};

// Puts the applet services on these fakes: every call logged in *log, the settings kept in *store
// (left as they are when store is null), and the sound input and DDE client made last in *wave and
// *dde where given.
inline void UseFakeServices(std::vector<std::string>* log, TFakeSettingsStore* store, TFakeWaveIn** wave = nullptr,
                            TFakeDde** dde = nullptr)
{
    TAppletServices& s = AppletServices();
    s.MakeDdeClient = [log, dde]() -> std::unique_ptr<TDdeClientPort> {
        auto d = std::make_unique<TFakeDde>(log);
        if (dde)
            *dde = d.get();
        return d;
    };
    s.MakeWaveIn = [log, wave]() -> std::unique_ptr<TWaveInPort> {
        auto w = std::make_unique<TFakeWaveIn>(log);
        if (wave)
            *wave = w.get();
        return w;
    };
    if (store)
        s.MakeSettings = [log, store]() -> std::unique_ptr<TSettingsPort> {
            return std::make_unique<TFakeSettings>(store, log);
        };
}
