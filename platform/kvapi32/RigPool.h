#pragma once
// The receivers behind the receiver-control library: each one a Hamlib rig or a scripted fake,
// numbered 1..N in the order the configuration lists them.
#include "RigConfig.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::kvapi {

// One receiver's hardware side. Every call returns whether the receiver took it.
class Radio {
public:
    virtual ~Radio() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool setFrequency(uint32_t hz) = 0;
    virtual std::optional<uint32_t> frequency() = 0;
    virtual bool setMode(int32_t mode) = 0;  // KVAPI32_MODE_*
    virtual bool setPower(bool on) = 0;
    virtual bool setMute(bool on) = 0;
    virtual bool setVolume(int32_t volume) = 0;  // 0..KVAPI32_MAX_VOLUME
    virtual bool setAtten(bool on) = 0;
    virtual std::optional<int32_t> strength() = 0;  // 0..65535
};

std::unique_ptr<Radio> MakeHamlibRadio(const RigSpec& spec);  // nullptr when the model is unknown

// Fake receivers share one script, re-read when its file changes.
class FakeStrengths {
public:
    explicit FakeStrengths(std::string path) : path_(std::move(path)) {}
    int receivers();
    int32_t next(int receiver, uint32_t hz);

private:
    void refresh();
    std::string path_;
    std::string stamp_ = "-";
    FakeScript script_;
    std::map<std::pair<int, int64_t>, size_t> position_;
};
std::unique_ptr<Radio> MakeFakeRadio(std::shared_ptr<FakeStrengths> strengths, int receiver);

// The receivers of one configuration.
class RigPool {
public:
    // Builds the pool the environment describes (KVAPI32_FAKE, KVAPI32_RIGS).
    static std::string ConfigKey();
    void build(const std::string& key);
    const std::string& key() const { return key_; }

    int size() const { return int(slots_.size()); }
    bool usable(int receiver) const;
    bool isOpen(int receiver) const;
    int openCount() const;
    // Opens receiver n (or the lowest free one for 0); returns its number or 0.
    int open(int receiver);
    bool close(int receiver);
    Radio* radio(int receiver);  // nullptr unless open

private:
    struct Slot {
        std::unique_ptr<Radio> radio;  // nullptr: unavailable
        bool open = false;
    };
    bool tryOpen(int receiver);
    std::string key_ = "-";
    std::vector<Slot> slots_;
};

}  // namespace platform::kvapi
