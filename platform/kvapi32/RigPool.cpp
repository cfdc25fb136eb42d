#include "RigPool.h"

#include "Kvapi32.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace platform::kvapi {

namespace {

class HamlibRadio final : public Radio {
public:
    explicit HamlibRadio(RigSpec spec) : spec_(std::move(spec)) {}
    ~HamlibRadio() override { close(); }

    bool open() override
    {
        close();
        lost_ = false;
        rig_ = rig_init(rig_model_t(spec_.model));
        if (!rig_)
            return false;
        if (!spec_.port.empty()) {
            const token_t tok = rig_token_lookup(rig_, "rig_pathname");
            if (tok == RIG_CONF_END || rig_set_conf(rig_, tok, spec_.port.c_str()) != RIG_OK) {
                rig_cleanup(rig_);
                rig_ = nullptr;
                return false;
            }
        }
        if (rig_open(rig_) != RIG_OK) {
            rig_cleanup(rig_);
            rig_ = nullptr;
            return false;
        }
        return true;
    }
    void close() override
    {
        if (!rig_)
            return;
        rig_close(rig_);
        rig_cleanup(rig_);
        rig_ = nullptr;
    }
    bool setFrequency(uint32_t hz) override { return live() && ok(rig_set_freq(rig_, RIG_VFO_CURR, freq_t(hz))); }
    std::optional<uint32_t> frequency() override
    {
        freq_t f = 0;
        if (!live() || !ok(rig_get_freq(rig_, RIG_VFO_CURR, &f)) || f < 0 || f > 4294967295.0)
            return std::nullopt;
        return uint32_t(f);
    }
    bool setMode(int32_t mode) override
    {
        static const rmode_t modes[] = {RIG_MODE_AM, RIG_MODE_WFM, RIG_MODE_FM,
                                        RIG_MODE_USB, RIG_MODE_LSB, RIG_MODE_CW};
        if (mode < 0 || mode >= int32_t(std::size(modes)))
            return false;
        return live() && ok(rig_set_mode(rig_, RIG_VFO_CURR, modes[mode], RIG_PASSBAND_NORMAL));
    }
    bool setPower(bool on) override { return live() && ok(rig_set_powerstat(rig_, on ? RIG_POWER_ON : RIG_POWER_OFF)); }
    bool setMute(bool on) override { return live() && ok(rig_set_func(rig_, RIG_VFO_CURR, RIG_FUNC_MUTE, on ? 1 : 0)); }
    bool setVolume(int32_t volume) override
    {
        value_t v;
        v.f = float(std::clamp(volume, 0, KVAPI32_MAX_VOLUME)) / float(KVAPI32_MAX_VOLUME);
        return live() && ok(rig_set_level(rig_, RIG_VFO_CURR, RIG_LEVEL_AF, v));
    }
    bool setAtten(bool on) override
    {
        if (!live())
            return false;
        // "On" is the rig's first attenuator step; a rig without one cannot be switched on.
        value_t v;
        v.i = on ? rig_->state.attenuator[0] : 0;
        if (on && v.i == 0)
            return false;
        return ok(rig_set_level(rig_, RIG_VFO_CURR, RIG_LEVEL_ATT, v));
    }
    std::optional<int32_t> strength() override
    {
        int db = 0;
        if (!live() || !ok(rig_get_strength(rig_, RIG_VFO_CURR, &db)))
            return std::nullopt;
        return StrengthFromDb(db);
    }

private:
    // A rig whose connection failed (its daemon or its port gone) answers nothing more until it is
    // opened again: some of Hamlib's calls would report success on it, from what they last knew.
    bool live() const { return rig_ && !lost_; }
    bool ok(int rc)
    {
        if (rc == -RIG_EIO)
            lost_ = true;
        return rc == RIG_OK;
    }

    RigSpec spec_;
    RIG* rig_ = nullptr;
    bool lost_ = false;
};

class FakeRadio final : public Radio {
public:
    FakeRadio(std::shared_ptr<FakeStrengths> strengths, int receiver)
        : strengths_(std::move(strengths)), receiver_(receiver)
    {
    }
    bool open() override
    {
        hz_ = 0;
        return true;
    }
    void close() override {}
    bool setFrequency(uint32_t hz) override
    {
        hz_ = hz;
        return true;
    }
    std::optional<uint32_t> frequency() override { return hz_; }
    bool setMode(int32_t mode) override { return mode >= KVAPI32_MODE_AM && mode <= KVAPI32_MODE_CW; }
    bool setPower(bool) override { return true; }
    bool setMute(bool) override { return true; }
    bool setVolume(int32_t) override { return true; }
    bool setAtten(bool) override { return true; }
    std::optional<int32_t> strength() override { return strengths_->next(receiver_, hz_); }

private:
    std::shared_ptr<FakeStrengths> strengths_;
    int receiver_;
    uint32_t hz_ = 0;
};

}  // namespace

void FakeStrengths::refresh()
{
    struct stat st {};
    const std::string stamp = ::stat(path_.c_str(), &st) != 0
                                  ? std::string("missing")
                                  : std::to_string(st.st_ino) + "/" + std::to_string(st.st_size) + "/" +
                                        std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (stamp == stamp_)
        return;
    stamp_ = stamp;
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    script_ = ParseFakeScript(text.str());
    position_.clear();
    for (const std::string& e : script_.errors)
        std::fprintf(stderr, "kvapi32: %s: skipped %s\n", path_.c_str(), e.c_str());
}

int FakeStrengths::receivers()
{
    refresh();
    return script_.receivers;
}

int32_t FakeStrengths::next(int receiver, uint32_t hz)
{
    refresh();
    auto it = script_.strengths.find({receiver, int64_t(hz)});
    if (it == script_.strengths.end())
        it = script_.strengths.find({receiver, -1});
    if (it == script_.strengths.end())
        return 0;
    size_t& pos = position_[it->first];
    const int32_t v = it->second[std::min(pos, it->second.size() - 1)];
    if (pos < it->second.size())
        ++pos;
    return v;
}

std::unique_ptr<Radio> MakeHamlibRadio(const RigSpec& spec)
{
    // Hamlib's own diagnostics would land in the host's terminal.
    rig_set_debug(RIG_DEBUG_NONE);
    // Only a model Hamlib can set up makes a receiver.
    RIG* probe = rig_init(rig_model_t(spec.model));
    if (!probe)
        return nullptr;
    rig_cleanup(probe);
    return std::make_unique<HamlibRadio>(spec);
}

std::unique_ptr<Radio> MakeFakeRadio(std::shared_ptr<FakeStrengths> strengths, int receiver)
{
    return std::make_unique<FakeRadio>(std::move(strengths), receiver);
}

std::string RigPool::ConfigKey()
{
    const char* fake = std::getenv("KVAPI32_FAKE");
    if (fake && *fake)
        return std::string("fake:") + fake;
    const char* rigs = std::getenv("KVAPI32_RIGS");
    return std::string("rigs:") + (rigs ? rigs : "");
}

void RigPool::build(const std::string& key)
{
    slots_.clear();
    key_ = key;
    if (key.rfind("fake:", 0) == 0) {
        auto strengths = std::make_shared<FakeStrengths>(key.substr(5));
        const int n = strengths->receivers();
        for (int r = 1; r <= n; ++r)
            slots_.push_back(Slot{MakeFakeRadio(strengths, r), false});
        return;
    }
    for (const std::optional<RigSpec>& spec : ParseRigList(key.c_str() + 5))
        slots_.push_back(Slot{spec ? MakeHamlibRadio(*spec) : nullptr, false});
}

bool RigPool::usable(int receiver) const
{
    return receiver >= 1 && receiver <= size() && slots_[size_t(receiver - 1)].radio != nullptr;
}

bool RigPool::isOpen(int receiver) const { return usable(receiver) && slots_[size_t(receiver - 1)].open; }

int RigPool::openCount() const
{
    return int(std::count_if(slots_.begin(), slots_.end(), [](const Slot& s) { return s.open; }));
}

bool RigPool::tryOpen(int receiver)
{
    if (!usable(receiver) || isOpen(receiver))
        return false;
    Slot& slot = slots_[size_t(receiver - 1)];
    slot.open = slot.radio->open();
    return slot.open;
}

int RigPool::open(int receiver)
{
    if (receiver != 0)
        return tryOpen(receiver) ? receiver : 0;
    for (int r = 1; r <= size(); ++r)
        if (tryOpen(r))
            return r;
    return 0;
}

bool RigPool::close(int receiver)
{
    if (!isOpen(receiver))
        return false;
    Slot& slot = slots_[size_t(receiver - 1)];
    slot.radio->close();
    slot.open = false;
    return true;
}

Radio* RigPool::radio(int receiver) { return isOpen(receiver) ? slots_[size_t(receiver - 1)].radio.get() : nullptr; }

}  // namespace platform::kvapi
