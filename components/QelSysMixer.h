#pragma once
// The sound card's mixer: the volume, mute and on/off switches of one source line feeding one
// destination line, per channel, with changes made elsewhere reported as events.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/Mixer.h"

enum TQelMixerLineType : uint8_t {
    mlDestDigital, mlDestHeadphones, mlDestLine, mlDestMonitor, mlDestSpeakers, mlDestTelephone,
    mlDestUndefined, mlDestVoiceIn, mlDestWaveIn,
    mlSrcAnalog, mlSrcAuxiliary, mlSrcCompactDisc, mlSrcDigital, mlSrcLine, mlSrcMicrophone,
    mlSrcPCSpeaker, mlSrcSynthesizer, mlSrcTelephone, mlSrcUndefined, mlSrcWaveOut,
};

// The mixer's component type of a line type.
uint32_t QelMixerComponentType(TQelMixerLineType type);

class TQelSysMixer : public QObject {
public:
    using TMixerEvent = std::function<void(TQelSysMixer* sender)>;

    explicit TQelSysMixer(QObject* owner = nullptr);
    ~TQelSysMixer() override;
    TQelSysMixer(const TQelSysMixer&) = delete;
    TQelSysMixer& operator=(const TQelSysMixer&) = delete;

    // The destination line worked on; a change reselects no source.
    TQelMixerLineType LineType() const { return lineType_; }
    void SetLineType(TQelMixerLineType type);

    TMixerEvent OnMuteChange;    // the selected source's mute control changed
    TMixerEvent OnVolumeChange;  // the selected source's volume control changed

    // Product names of the mixer devices, read once at construction.
    std::vector<std::string> MixerNames;

    // The open mixer device; -1 none. A change reselects no source.
    int32_t MixerID() const { return mixerID_; }
    void SetMixerID(int32_t id);

    // Names of the source lines of the destination line, in source order.
    const std::vector<std::string>& SourceNames() const { return sourceNames_; }
    // Index into SourceNames; -1, or any index that names no source, selects none.
    int32_t SourceID() const { return sourceID_; }
    void SetSourceID(int32_t index);
    TQelMixerLineType SourceType() const { return sourceType_; }

    // Mean over the channels, truncated / every channel, written every time.
    uint32_t GetVolumeAll() const;
    void SetVolumeAll(uint32_t volume);
    // True when any channel is muted / every channel, written only when GetMuteAll differs.
    bool GetMuteAll() const;
    void SetMuteAll(bool mute);
    // Channel i (0 left, 1 right; a uniform control has only 0); written only on change.
    uint32_t GetVolumeStat(int32_t i) const;
    void SetVolumeStat(int32_t i, uint32_t volume);
    bool GetMuteStat(int32_t i) const;
    void SetMuteStat(int32_t i, bool mute);
    bool GetOnOffStat(int32_t i) const;
    void SetOnOffStat(int32_t i, bool on);

    // Rebuild steps: the device, the destination line with its sources, the selected source.
    void NewMixer();
    void NewLineType();
    void NewSource();

    // A control of the open mixer changed.
    void ControlChange(uint32_t controlId);

private:
    struct Control {
        bool present = false;
        uint32_t id = 0;
        std::vector<uint32_t> values;  // one per channel
    };
    enum Which { Mute, OnOff, Volume };

    bool usable(const Control& c) const { return mixer_ && c.present; }
    void Read(Control& c);
    void Write(Control& c);
    uint32_t Stat(const Control& c, int32_t i) const;
    void SetStat(Control& c, int32_t i, uint32_t value);

    TQelMixerLineType lineType_ = mlDestWaveIn;
    int32_t mixerID_ = -1;
    int32_t sourceID_ = -1;
    TQelMixerLineType sourceType_ = mlSrcUndefined;
    std::vector<std::string> sourceNames_;
    std::unique_ptr<platform::Mixer> mixer_;
    platform::MixerLine destination_;
    bool haveDestination_ = false;
    Control controls_[3];
};
