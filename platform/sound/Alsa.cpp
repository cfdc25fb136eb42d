#include "Alsa.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <chrono>

namespace platform::sound {

namespace {

// ALSA prints its own complaints to stderr; the wave calls report through their result codes.
void quietErrors(const char*, int, const char*, int, const char*, ...) {}

void quietOnce()
{
    static bool done = [] {
        snd_lib_error_set_handler(quietErrors);
        return true;
    }();
    (void)done;
}

class CardStream : public Backend {
public:
    CardStream(snd_pcm_t* pcm, bool capture, snd_pcm_uframes_t period) : pcm_(pcm), capture_(capture), period_(period) {}
    ~CardStream() override { snd_pcm_close(pcm_); }

    void run(WaveStream& s) override { capture_ ? runCapture(s) : runPlayback(s); }

private:
    // Waits for the device to be started; false once the stream quits.
    bool waitStarted(WaveStream& s, bool* running)
    {
        for (;;) {
            bool stopped = false;
            {
                std::unique_lock lock(s.mutex);
                if (s.quitting())
                    return false;
                if (s.started() && (capture_ || !s.queueEmpty()))
                    return true;
                stopped = !s.started();
                s.wake.wait_for(lock, std::chrono::milliseconds(20));
            }
            // Stopped or paused: what the device holds is dropped. Playback that has merely run out of
            // buffers plays to the end of what it was given (the device then runs dry, and recovers
            // at the next write).
            if (*running && stopped) {
                snd_pcm_drop(pcm_);
                *running = false;
            }
        }
    }

    void runCapture(WaveStream& s)
    {
        const uint32_t align = s.format.blockAlign;
        std::vector<uint8_t> buf(period_ * align);
        bool running = false;
        while (waitStarted(s, &running)) {
            if (!running) {
                snd_pcm_prepare(pcm_);
                snd_pcm_start(pcm_);
                running = true;
            }
            snd_pcm_wait(pcm_, 50);
            const snd_pcm_sframes_t r = snd_pcm_readi(pcm_, buf.data(), period_);
            if (r == -EAGAIN)
                continue;
            if (r < 0) {
                snd_pcm_recover(pcm_, static_cast<int>(r), 1);
                running = false;
                continue;
            }
            s.capture(buf.data(), static_cast<size_t>(r) * align);
        }
        if (running)
            snd_pcm_drop(pcm_);
    }

    void runPlayback(WaveStream& s)
    {
        const uint32_t align = s.format.blockAlign;
        bool running = false;
        uint64_t starts = 0;
        while (waitStarted(s, &running)) {
            WaveHeader* h;
            uint32_t offset;
            uint64_t startCount;
            {
                std::lock_guard lock(s.mutex);
                h = s.front();
                offset = s.frontOffset();
                startCount = s.startCount();
            }
            // A reset (or a pause) since the last round: what the device still holds is not heard.
            if (startCount != starts) {
                starts = startCount;
                if (running) {
                    snd_pcm_drop(pcm_);
                    running = false;
                }
            }
            if (!h)
                continue;
            const uint32_t left = h->bufferLength - offset;
            snd_pcm_sframes_t frames = std::min<snd_pcm_uframes_t>(left / align, period_);
            uint32_t played;
            if (frames == 0) {
                played = left;  // a tail shorter than a frame cannot be played
            } else {
                // A device that was dropped must be prepared again before it takes frames.
                if (!running) {
                    snd_pcm_prepare(pcm_);
                    running = true;
                }
                snd_pcm_wait(pcm_, 50);
                frames = snd_pcm_writei(pcm_, h->data + offset, static_cast<snd_pcm_uframes_t>(frames));
                if (frames == -EAGAIN)
                    continue;
                if (frames < 0) {
                    snd_pcm_recover(pcm_, static_cast<int>(frames), 1);
                    continue;
                }
                played = static_cast<uint32_t>(frames) * align;
            }
            std::lock_guard lock(s.mutex);
            if (s.front() == h && s.frontOffset() == offset)  // not reset meanwhile
                s.advanceLocked(played);
        }
        if (running)
            snd_pcm_drop(pcm_);
    }

    snd_pcm_t* pcm_;
    bool capture_;
    snd_pcm_uframes_t period_;
};

}  // namespace

std::vector<CardDevice> cardDevices(bool capture)
{
    quietOnce();
    std::vector<CardDevice> list;
    const snd_pcm_stream_t dir = capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        snd_ctl_t* ctl = nullptr;
        const std::string hw = "hw:" + std::to_string(card);
        if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0)
            continue;
        snd_ctl_card_info_t* cardInfo;
        snd_ctl_card_info_alloca(&cardInfo);
        std::string cardName = hw;
        if (snd_ctl_card_info(ctl, cardInfo) == 0)
            cardName = snd_ctl_card_info_get_name(cardInfo);
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
            snd_pcm_info_t* info;
            snd_pcm_info_alloca(&info);
            snd_pcm_info_set_device(info, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(info, 0);
            snd_pcm_info_set_stream(info, dir);
            if (snd_ctl_pcm_info(ctl, info) < 0)
                continue;
            list.push_back({hw + "," + std::to_string(device), cardName + ": " + snd_pcm_info_get_name(info)});
        }
        snd_ctl_close(ctl);
    }
    // The default device stands first; without a card it is there when the configuration gives one of
    // its own (a sound server, or a device of the user's), which then opens or says why it cannot.
    if (!list.empty() || configuredDefault("pcm"))
        list.insert(list.begin(), {"default", capture ? "Default sound input" : "Default sound output"});
    return list;
}

bool configuredDefault(const char* kind)
{
    quietOnce();
    snd_config_t* top = nullptr;
    if (snd_config_update_ref(&top) < 0 || !top)
        return false;
    // The stock configuration's default names the first card, and does not resolve without one.
    snd_config_t* def = nullptr;
    const bool found = snd_config_search_definition(top, kind, "default", &def) >= 0;
    if (def)
        snd_config_delete(def);
    snd_config_unref(top);
    return found;
}

std::unique_ptr<Backend> openCard(const std::string& name, bool capture, const WaveFormat& f, uint32_t* code,
                                  std::string* text)
{
    quietOnce();
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, name.c_str(), capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                          SND_PCM_NONBLOCK);
    if (rc < 0) {
        *code = rc == -EBUSY ? kWaveAllocated : (rc == -ENOENT || rc == -ENODEV) ? kWaveBadDeviceId : kWaveError;
        *text = "Sound device " + name + ": " + snd_strerror(rc);
        return nullptr;
    }
    snd_pcm_hw_params_t* hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned periodUs = 20000, bufferUs = 200000;
    int dir = 0;
    snd_pcm_uframes_t period = 0;
    const bool fits = snd_pcm_hw_params_any(pcm, hw) >= 0 &&
                      snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
                      snd_pcm_hw_params_set_format(pcm, hw, f.bitsPerSample == 8 ? SND_PCM_FORMAT_U8
                                                                                 : SND_PCM_FORMAT_S16_LE) >= 0 &&
                      snd_pcm_hw_params_set_channels(pcm, hw, f.channels) >= 0 &&
                      snd_pcm_hw_params_set_rate(pcm, hw, f.samplesPerSec, 0) >= 0 &&
                      snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, &dir) >= 0 &&
                      snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, &dir) >= 0 &&
                      snd_pcm_hw_params(pcm, hw) >= 0 &&
                      snd_pcm_hw_params_get_period_size(hw, &period, &dir) >= 0 && period > 0;
    if (!fits) {
        snd_pcm_close(pcm);
        *code = kWaveBadFormat;
        *text = "Sound device " + name + " cannot take " + std::to_string(f.samplesPerSec) + " Hz, " +
                std::to_string(f.bitsPerSample) + " bits, " + std::to_string(f.channels) + " channel(s).";
        return nullptr;
    }
    *code = kWaveNoError;
    return std::make_unique<CardStream>(pcm, capture, period);
}

}  // namespace platform::sound
