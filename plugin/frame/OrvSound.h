#pragma once
// The decoder windows' sound input and mixer lines, behind small interfaces so the windows can be
// driven by a test without a sound card. The real input is the system's wave component and the
// real mixers its mixer component; the fakes record what the window did and let a test hand it
// buffers and outside mixer changes.
#include <QObject>

#include "QelSysMixer.h"
#include "QelSysWave.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The capture side of the windows' wave component.
class TOrvSoundInput {
public:
    virtual ~TOrvSoundInput();
    // 0 when the input is open (also when it already was); otherwise an error code, which the
    // input has already reported to the user.
    virtual int Open() = 0;
    // One attempt without reporting a failure; for retries after a failure was reported.
    virtual int TryOpen() = 0;
    // Stops capture and returns once every queued buffer is back; pending events run meanwhile.
    // Nothing happens when it is closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Whether the device plays a recording rather than a card: its sound may come faster or slower
    // than real time, so what is heard is timed by the samples delivered.
    virtual bool IsRecording() const { return false; }

    // Format and buffers, used by the next Open.
    uint32_t DeviceId = 0;
    uint32_t SamplesPerSec = 11025;
    uint16_t BitsPerSample = 16;
    uint16_t ChannelsNum = 2;
    uint32_t InBuffersNum = 8;
    uint32_t InBufferSize = 8192;
    // One filled buffer: interleaved 16-bit samples and their length in bytes. The buffer is
    // queued again after the handler returns; the handler must not open or close the input.
    std::function<void(QObject* sender, const int16_t* data, uint32_t bytes)> OnWaveInData;
};

// The windows' mixer lines are the mixer component's line types.
using TOrvMixerLineType = TQelMixerLineType;
// A source line of a type the windows do not look for.
constexpr TQelMixerLineType mlSrcOther = mlSrcUndefined;

// One mixer destination line (recording or speakers) with its selected source line.
class TOrvMixer {
public:
    virtual ~TOrvMixer();
    virtual int MixerCount() const = 0;
    // Picks a mixer; -1 closes it.
    virtual void SetMixerNumber(int mixer) = 0;
    virtual int SourceCount() const = 0;
    virtual void SetSourceNumber(int source) = 0;
    virtual int SourceNumber() const = 0;
    virtual TOrvMixerLineType SourceType() const = 0;
    // Volume of every channel (read: their mean), 0 to 65535.
    virtual uint32_t Volume() const = 0;
    virtual void SetVolume(uint32_t volume) = 0;
    virtual uint32_t ChannelVolume(int channel) const = 0;
    virtual void SetChannelVolume(int channel, uint32_t volume) = 0;
    virtual bool Mute() const = 0;
    virtual void SetMute(bool mute) = 0;
    // A change made outside the window (another program, the user's mixer).
    std::function<void(QObject* sender)> OnVolumeChange;
};

// Which destination line a window's mixer controls: mlDestWaveIn or mlDestSpeakers.
using TOrvMixerDestination = TQelMixerLineType;

// Makes the windows' inputs and mixers; tests put their fakes in place.
struct TOrvSoundFactory {
    std::function<std::unique_ptr<TOrvSoundInput>()> WaveIn;
    std::function<std::unique_ptr<TOrvMixer>(TOrvMixerDestination)> Mixer;
    std::function<uint32_t()> InputDeviceCount;
};
void SetOrvSoundFactory(const TOrvSoundFactory* factory);  // nullptr: the real devices
std::unique_ptr<TOrvSoundInput> MakeOrvSoundInput();
std::unique_ptr<TOrvMixer> MakeOrvMixer(TOrvMixerDestination destination);
uint32_t OrvSoundInputDeviceCount();

// A system without mixers.
class TOrvNoMixer : public TOrvMixer {
public:
    int MixerCount() const override { return 0; }
    void SetMixerNumber(int) override {}
    int SourceCount() const override { return 0; }
    void SetSourceNumber(int) override {}
    int SourceNumber() const override { return 0; }
    TOrvMixerLineType SourceType() const override { return mlSrcOther; }
    uint32_t Volume() const override { return 0; }
    void SetVolume(uint32_t) override {}
    uint32_t ChannelVolume(int) const override { return 0; }
    void SetChannelVolume(int, uint32_t) override {}
    bool Mute() const override { return false; }
    void SetMute(bool) override {}
};

// Test input: opens fail a chosen number of times; Deliver hands the window a buffer as the
// device would. Every call is recorded.
class TOrvFakeSoundInput : public TOrvSoundInput {
public:
    int Open() override;
    int TryOpen() override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    bool IsRecording() const override { return Recording; }
    bool Recording = false;  // a card unless a test says otherwise
    // Delivers one buffer to the handler while open; false when closed.
    bool Deliver(const std::vector<int16_t>& samples);
    int FailOpens = 0;
    int OpenResult = 4;
    std::vector<std::string> Calls;
    std::function<void()> OnClose;  // runs inside Close, as pending events would
    // Runs inside a failed Open, as the error box's event loop would.
    std::function<void()> OnOpenFailed;

private:
    bool open_ = false;
};

// Test mixer line shared by the fake mixers that control it: two mixers on one line are linked.
struct TOrvFakeMixerLine {
    uint32_t Volume[2] = {0, 0};
    bool Mute = false;
};
class TOrvFakeMixer : public TOrvMixer {
public:
    // sources: the type of each source line; each source has its own line unless shared.
    TOrvFakeMixer(int mixers, std::vector<TOrvMixerLineType> sources,
                  std::vector<std::shared_ptr<TOrvFakeMixerLine>> lines);
    int MixerCount() const override { return mixers_; }
    void SetMixerNumber(int mixer) override;
    int SourceCount() const override { return int(sources_.size()); }
    void SetSourceNumber(int source) override;
    int SourceNumber() const override { return source_; }
    TOrvMixerLineType SourceType() const override;
    uint32_t Volume() const override;
    void SetVolume(uint32_t volume) override;
    uint32_t ChannelVolume(int channel) const override;
    void SetChannelVolume(int channel, uint32_t volume) override;
    bool Mute() const override;
    void SetMute(bool mute) override;
    // A change made outside: sets the line and fires OnVolumeChange.
    void ChangeOutside(uint32_t volume);
    int Mixer = -2;  // as last set
    std::vector<std::string> Calls;

private:
    TOrvFakeMixerLine* line() const;
    int mixers_;
    std::vector<TOrvMixerLineType> sources_;
    std::vector<std::shared_ptr<TOrvFakeMixerLine>> lines_;
    int source_ = 0;
};
