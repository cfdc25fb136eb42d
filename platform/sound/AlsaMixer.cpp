#include "AlsaMixer.h"

#include "Alsa.h"

#include <alsa/asoundlib.h>
#include <algorithm>
#include <atomic>
#include <poll.h>
#include <thread>

namespace platform::sound {

namespace {

std::vector<int> cards()
{
    std::vector<int> list;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
        list.push_back(card);
    return list;
}

std::string cardName(int card)
{
    char* name = nullptr;
    std::string text = "hw:" + std::to_string(card);
    if (snd_card_get_name(card, &name) == 0 && name) {
        text = name;
        free(name);
    }
    return text;
}

uint32_t sourceType(const std::string& element)
{
    struct Map {
        const char* word;
        uint32_t type;
    };
    static const Map map[] = {{"Line", kMixerSrcLine},        {"Mic", kMixerSrcMicrophone},
                              {"CD", kMixerSrcCompactDisc},   {"PCM", kMixerSrcWaveOut},
                              {"Wave", kMixerSrcWaveOut},     {"Aux", kMixerSrcAuxiliary},
                              {"Synth", kMixerSrcSynthesizer}, {"Phone", kMixerSrcTelephone},
                              {"Beep", kMixerSrcPCSpeaker},   {"PC Speaker", kMixerSrcPCSpeaker},
                              {"Digital", kMixerSrcDigital},  {"IEC958", kMixerSrcDigital}};
    for (const auto& m : map)
        if (element.find(m.word) != std::string::npos)
            return m.type;
    return kMixerSrcUndefined;
}

// Control ids: element number + 1 times 8, plus the kind.
enum Kind : uint32_t { PlaybackVolume = 1, PlaybackMute = 2, CaptureVolume = 3, CaptureOnOff = 4 };
constexpr uint32_t kDestSpeakers = 0, kDestRecording = 1;

class CardMixer : public MixerDevice {
public:
    CardMixer(snd_mixer_t* mixer, std::string name) : mixer_(mixer), name_(std::move(name))
    {
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e; e = snd_mixer_elem_next(e)) {
            if (!snd_mixer_selem_is_active(e))
                continue;
            const uint32_t index = static_cast<uint32_t>(elems_.size());
            elems_.push_back(e);
            if (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e))
                lines_[kDestSpeakers].push_back(index);
            if (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_has_capture_switch(e))
                lines_[kDestRecording].push_back(index);
            snd_mixer_elem_set_callback(e, &CardMixer::elementChanged);
            snd_mixer_elem_set_callback_private(e, this);
        }
        worker_ = std::thread([this] { watch(); });
    }
    ~CardMixer() override
    {
        quit_ = true;
        worker_.join();
        snd_mixer_close(mixer_);
    }

    std::string name() const override { return name_; }

    bool destination(uint32_t componentType, MixerLine* line) override
    {
        const uint32_t d = componentType == kMixerDstSpeakers ? kDestSpeakers
                           : componentType == kMixerDstWaveIn ? kDestRecording
                                                              : 2;
        std::lock_guard lock(mutex_);
        if (d > kDestRecording || lines_[d].empty())
            return false;
        *line = MixerLine{d, kMixerNoSource, componentType, 2, static_cast<uint32_t>(lines_[d].size()),
                          d == kDestSpeakers ? "Speakers" : "Recording"};
        return true;
    }

    bool source(uint32_t destination, uint32_t sourceIndex, MixerLine* line) override
    {
        std::lock_guard lock(mutex_);
        if (destination > kDestRecording || sourceIndex >= lines_[destination].size())
            return false;
        snd_mixer_elem_t* e = elems_[lines_[destination][sourceIndex]];
        const bool mono = destination == kDestSpeakers ? snd_mixer_selem_is_playback_mono(e)
                                                       : snd_mixer_selem_is_capture_mono(e);
        const std::string n = snd_mixer_selem_get_name(e);
        *line = MixerLine{destination, sourceIndex, sourceType(n), mono ? 1u : 2u, 0, n};
        return true;
    }

    bool control(const MixerLine& line, uint32_t type, MixerControl* c) override
    {
        std::lock_guard lock(mutex_);
        if (line.destination > kDestRecording || line.source >= lines_[line.destination].size())
            return false;
        const uint32_t index = lines_[line.destination][line.source];
        snd_mixer_elem_t* e = elems_[index];
        Kind kind;
        bool uniform;
        if (line.destination == kDestSpeakers && type == kMixerControlVolume && snd_mixer_selem_has_playback_volume(e)) {
            kind = PlaybackVolume;
            uniform = snd_mixer_selem_has_playback_volume_joined(e);
        } else if (line.destination == kDestSpeakers && type == kMixerControlMute && snd_mixer_selem_has_playback_switch(e)) {
            kind = PlaybackMute;
            uniform = snd_mixer_selem_has_playback_switch_joined(e);
        } else if (line.destination == kDestRecording && type == kMixerControlVolume && snd_mixer_selem_has_capture_volume(e)) {
            kind = CaptureVolume;
            uniform = snd_mixer_selem_has_capture_volume_joined(e);
        } else if (line.destination == kDestRecording && type == kMixerControlOnOff && snd_mixer_selem_has_capture_switch(e)) {
            kind = CaptureOnOff;
            uniform = snd_mixer_selem_has_capture_switch_joined(e);
        } else {
            return false;
        }
        *c = MixerControl{(index + 1) * 8 + kind, type, uniform, 0, type == kMixerControlVolume ? 65535u : 1u};
        return true;
    }

    bool getValues(uint32_t id, std::vector<uint32_t>* values) override
    {
        std::lock_guard lock(mutex_);
        snd_mixer_elem_t* e;
        Kind kind;
        if (!values || !decode(id, &e, &kind))
            return false;
        const size_t n = channelsOf(e, kind);
        values->assign(n, 0);
        for (size_t ch = 0; ch < n; ++ch) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
            long v = 0, lo = 0, hi = 0;
            int sw = 0;
            switch (kind) {
            case PlaybackVolume:
                snd_mixer_selem_get_playback_volume(e, channel, &v);
                snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
                (*values)[ch] = scaleUp(v, lo, hi);
                break;
            case CaptureVolume:
                snd_mixer_selem_get_capture_volume(e, channel, &v);
                snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
                (*values)[ch] = scaleUp(v, lo, hi);
                break;
            case PlaybackMute:
                snd_mixer_selem_get_playback_switch(e, channel, &sw);
                (*values)[ch] = sw ? 0 : 1;  // the switch is "sound on"
                break;
            case CaptureOnOff:
                snd_mixer_selem_get_capture_switch(e, channel, &sw);
                (*values)[ch] = sw ? 1 : 0;
                break;
            }
        }
        return true;
    }

    bool setValues(uint32_t id, const std::vector<uint32_t>& values) override
    {
        std::lock_guard lock(mutex_);
        snd_mixer_elem_t* e;
        Kind kind;
        if (!decode(id, &e, &kind) || values.size() != channelsOf(e, kind))
            return false;
        for (size_t ch = 0; ch < values.size(); ++ch) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
            long lo = 0, hi = 0;
            switch (kind) {
            case PlaybackVolume:
                snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
                snd_mixer_selem_set_playback_volume(e, channel, scaleDown(values[ch], lo, hi));
                break;
            case CaptureVolume:
                snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
                snd_mixer_selem_set_capture_volume(e, channel, scaleDown(values[ch], lo, hi));
                break;
            case PlaybackMute:
                snd_mixer_selem_set_playback_switch(e, channel, values[ch] ? 0 : 1);
                break;
            case CaptureOnOff:
                snd_mixer_selem_set_capture_switch(e, channel, values[ch] ? 1 : 0);
                break;
            }
        }
        return true;
    }

private:
    static uint32_t scaleUp(long v, long lo, long hi)
    {
        if (hi <= lo)
            return 0;
        return static_cast<uint32_t>((std::clamp(v, lo, hi) - lo) * 65535LL / (hi - lo));
    }
    static long scaleDown(uint32_t v, long lo, long hi)
    {
        return lo + static_cast<long>((static_cast<long long>(std::min<uint32_t>(v, 65535)) * (hi - lo) + 32767) / 65535);
    }

    bool decode(uint32_t id, snd_mixer_elem_t** e, Kind* kind)
    {
        const uint32_t k = id % 8, index = id / 8;
        if (index == 0 || index > elems_.size() || k < PlaybackVolume || k > CaptureOnOff)
            return false;
        *e = elems_[index - 1];
        *kind = static_cast<Kind>(k);
        return true;
    }

    static size_t channelsOf(snd_mixer_elem_t* e, Kind kind)
    {
        switch (kind) {
        case PlaybackVolume: return snd_mixer_selem_has_playback_volume_joined(e) || snd_mixer_selem_is_playback_mono(e) ? 1 : 2;
        case PlaybackMute: return snd_mixer_selem_has_playback_switch_joined(e) || snd_mixer_selem_is_playback_mono(e) ? 1 : 2;
        case CaptureVolume: return snd_mixer_selem_has_capture_volume_joined(e) || snd_mixer_selem_is_capture_mono(e) ? 1 : 2;
        case CaptureOnOff: return snd_mixer_selem_has_capture_switch_joined(e) || snd_mixer_selem_is_capture_mono(e) ? 1 : 2;
        }
        return 0;
    }

    // Runs inside snd_mixer_handle_events on the watching thread, with mutex_ held.
    static int elementChanged(snd_mixer_elem_t* e, unsigned int mask)
    {
        auto* self = static_cast<CardMixer*>(snd_mixer_elem_get_callback_private(e));
        if (!self || !(mask & SND_CTL_EVENT_MASK_VALUE))
            return 0;
        const auto it = std::find(self->elems_.begin(), self->elems_.end(), e);
        if (it == self->elems_.end())
            return 0;
        const uint32_t base = static_cast<uint32_t>(it - self->elems_.begin() + 1) * 8;
        for (uint32_t k = PlaybackVolume; k <= CaptureOnOff; ++k)
            self->notifyChange(base + k);
        return 0;
    }

    void watch()
    {
        std::vector<pollfd> fds;
        while (!quit_) {
            {
                std::lock_guard lock(mutex_);
                const int n = snd_mixer_poll_descriptors_count(mixer_);
                fds.resize(n > 0 ? static_cast<size_t>(n) : 0);
                if (n > 0)
                    snd_mixer_poll_descriptors(mixer_, fds.data(), static_cast<unsigned>(n));
            }
            if (fds.empty() || ::poll(fds.data(), fds.size(), 100) <= 0)
                continue;
            std::lock_guard lock(mutex_);
            snd_mixer_handle_events(mixer_);
        }
    }

    snd_mixer_t* mixer_;
    std::string name_;
    std::mutex mutex_;
    std::vector<snd_mixer_elem_t*> elems_;
    std::vector<uint32_t> lines_[2];
    std::atomic<bool> quit_{false};
    std::thread worker_;
};

}  // namespace

namespace {

struct MixerEntry {
    std::string attach;  // the control device the simple mixer attaches to
    std::string name;
};

// One mixer per card; with no card, the default control device of a configuration that gives one.
std::vector<MixerEntry> mixerEntries()
{
    std::vector<MixerEntry> list;
    for (int card : cards())
        list.push_back({"hw:" + std::to_string(card), cardName(card)});
    if (list.empty() && configuredDefault("ctl"))
        list.push_back({"default", "Default mixer"});
    return list;
}

}  // namespace

std::vector<std::string> cardMixerNames()
{
    std::vector<std::string> names;
    for (const MixerEntry& e : mixerEntries())
        names.push_back(e.name);
    return names;
}

std::shared_ptr<MixerDevice> openCardMixer(uint32_t index)
{
    const auto list = mixerEntries();
    if (index >= list.size())
        return nullptr;
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return nullptr;
    if (snd_mixer_attach(mixer, list[index].attach.c_str()) < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::make_shared<CardMixer>(mixer, list[index].name);
}

}  // namespace platform::sound
