#include "OrvSound.h"

#include "WaveIn.h"

TOrvSoundInput::~TOrvSoundInput() = default;
TOrvMixer::~TOrvMixer() = default;

namespace {

const TOrvSoundFactory* soundFactory = nullptr;

// Capture through the system's wave component: buffers come back on the GUI thread and are
// queued again after the window's handler has seen them.
class TSysWaveInput : public TOrvSoundInput {
public:
    TSysWaveInput()
    {
        wave_.OnWaveInData = [this](TQelSysWave*, uint8_t* data, uint32_t bytes) {
            if (OnWaveInData && bytes > 0)
                OnWaveInData(nullptr, reinterpret_cast<const int16_t*>(data), bytes);
        };
    }

    int Open() override
    {
        configure();
        return int(wave_.Open());
    }

    int TryOpen() override
    {
        configure();
        return int(wave_.TryOpen());
    }

    void Close() override { wave_.Close(); }
    bool IsOpen() const override { return wave_.GetActive(); }
    bool IsRecording() const override
    {
        const int32_t id = wave_.DeviceInID();
        return platform::waveInDeviceIsRecording(id < 0 ? platform::kWaveMapper : uint32_t(id));
    }

private:
    // The format of the next open; the component is closed here, so nothing reopens.
    void configure()
    {
        if (wave_.GetActive())
            return;
        wave_.SetOpenMode(swomInput);
        wave_.SetDeviceInID(int32_t(DeviceId));
        wave_.SetBitsPerSample(BitsPerSample);
        wave_.SetChannelsNum(ChannelsNum);
        wave_.SetSamplesPerSec(SamplesPerSec);
        wave_.SetInBuffersNum(InBuffersNum);
        wave_.SetInBufferSize(InBufferSize);
    }

    TQelSysWave wave_;
};

// One destination line of the system's mixer component.
class TSysMixer : public TOrvMixer {
public:
    explicit TSysMixer(TOrvMixerDestination destination)
    {
        mixer_.SetLineType(destination);
        mixer_.OnVolumeChange = [this](TQelSysMixer* sender) {
            if (OnVolumeChange)
                OnVolumeChange(sender);
        };
    }

    int MixerCount() const override { return int(mixer_.MixerNames.size()); }
    void SetMixerNumber(int mixer) override { mixer_.SetMixerID(mixer); }
    int SourceCount() const override { return int(mixer_.SourceNames().size()); }
    void SetSourceNumber(int source) override { mixer_.SetSourceID(source); }
    int SourceNumber() const override { return mixer_.SourceID(); }
    TOrvMixerLineType SourceType() const override { return mixer_.SourceType(); }
    uint32_t Volume() const override { return mixer_.GetVolumeAll(); }
    void SetVolume(uint32_t volume) override { mixer_.SetVolumeAll(volume); }
    uint32_t ChannelVolume(int channel) const override { return mixer_.GetVolumeStat(channel); }
    void SetChannelVolume(int channel, uint32_t volume) override { mixer_.SetVolumeStat(channel, volume); }
    bool Mute() const override { return mixer_.GetMuteAll(); }
    void SetMute(bool mute) override { mixer_.SetMuteAll(mute); }

private:
    TQelSysMixer mixer_;
};

}  // namespace

void SetOrvSoundFactory(const TOrvSoundFactory* factory) { soundFactory = factory; }

std::unique_ptr<TOrvSoundInput> MakeOrvSoundInput()
{
    if (soundFactory && soundFactory->WaveIn)
        return soundFactory->WaveIn();
    return std::make_unique<TSysWaveInput>();
}

std::unique_ptr<TOrvMixer> MakeOrvMixer(TOrvMixerDestination destination)
{
    if (soundFactory && soundFactory->Mixer)
        return soundFactory->Mixer(destination);
    return std::make_unique<TSysMixer>(destination);
}

uint32_t OrvSoundInputDeviceCount()
{
    if (soundFactory && soundFactory->InputDeviceCount)
        return soundFactory->InputDeviceCount();
    return platform::waveInDeviceCount();
}

int TOrvFakeSoundInput::Open()
{
    Calls.push_back("open");
    if (open_)
        return 0;
    if (FailOpens > 0) {
        --FailOpens;
        if (OnOpenFailed)
            OnOpenFailed();
        return OpenResult;
    }
    open_ = true;
    return 0;
}

int TOrvFakeSoundInput::TryOpen()
{
    Calls.push_back("try-open");
    if (open_)
        return 0;
    if (FailOpens > 0) {
        --FailOpens;
        return OpenResult;
    }
    open_ = true;
    return 0;
}

void TOrvFakeSoundInput::Close()
{
    Calls.push_back("close");
    if (!open_)
        return;
    if (OnClose)
        OnClose();
    open_ = false;
}

bool TOrvFakeSoundInput::Deliver(const std::vector<int16_t>& samples)
{
    if (!open_)
        return false;
    if (OnWaveInData)
        OnWaveInData(nullptr, samples.data(), uint32_t(samples.size() * 2));
    return true;
}

TOrvFakeMixer::TOrvFakeMixer(int mixers, std::vector<TOrvMixerLineType> sources,
                             std::vector<std::shared_ptr<TOrvFakeMixerLine>> lines)
    : mixers_(mixers), sources_(std::move(sources)), lines_(std::move(lines))
{
    while (lines_.size() < sources_.size())
        lines_.push_back(std::make_shared<TOrvFakeMixerLine>());
}

void TOrvFakeMixer::SetMixerNumber(int mixer)
{
    Mixer = mixer;
    Calls.push_back("mixer " + std::to_string(mixer));
}

void TOrvFakeMixer::SetSourceNumber(int source) { source_ = source; }

TOrvMixerLineType TOrvFakeMixer::SourceType() const
{
    return source_ >= 0 && source_ < int(sources_.size()) ? sources_[source_] : mlSrcOther;
}

TOrvFakeMixerLine* TOrvFakeMixer::line() const
{
    static TOrvFakeMixerLine none;
    return source_ >= 0 && source_ < int(lines_.size()) ? lines_[source_].get() : &none;
}

uint32_t TOrvFakeMixer::Volume() const { return line()->Volume[0]; }

void TOrvFakeMixer::SetVolume(uint32_t volume)
{
    Calls.push_back("volume " + std::to_string(volume));
    line()->Volume[0] = line()->Volume[1] = volume;
}

uint32_t TOrvFakeMixer::ChannelVolume(int channel) const { return line()->Volume[channel & 1]; }

void TOrvFakeMixer::SetChannelVolume(int channel, uint32_t volume)
{
    Calls.push_back("channel " + std::to_string(channel) + " " + std::to_string(volume));
    line()->Volume[channel & 1] = volume;
}

bool TOrvFakeMixer::Mute() const { return line()->Mute; }

void TOrvFakeMixer::SetMute(bool mute)
{
    Calls.push_back(mute ? "mute" : "unmute");
    line()->Mute = mute;
}

void TOrvFakeMixer::ChangeOutside(uint32_t volume)
{
    line()->Volume[0] = line()->Volume[1] = volume;
    if (OnVolumeChange)
        OnVolumeChange(nullptr);
}
