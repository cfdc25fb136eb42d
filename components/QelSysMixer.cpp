#include "QelSysMixer.h"

using namespace platform;

namespace {

constexpr uint32_t ComponentTypes[] = {
    kMixerDstDigital, kMixerDstHeadphones, kMixerDstLine, kMixerDstMonitor, kMixerDstSpeakers,
    kMixerDstTelephone, kMixerDstUndefined, kMixerDstVoiceIn, kMixerDstWaveIn,
    kMixerSrcAnalog, kMixerSrcAuxiliary, kMixerSrcCompactDisc, kMixerSrcDigital, kMixerSrcLine,
    kMixerSrcMicrophone, kMixerSrcPCSpeaker, kMixerSrcSynthesizer, kMixerSrcTelephone,
    kMixerSrcUndefined, kMixerSrcWaveOut,
};
constexpr size_t LineTypes = sizeof(ComponentTypes) / sizeof(ComponentTypes[0]);

constexpr uint32_t ControlTypes[] = {kMixerControlMute, kMixerControlOnOff, kMixerControlVolume};

}  // namespace

uint32_t QelMixerComponentType(TQelMixerLineType type)
{
    return type < LineTypes ? ComponentTypes[type] : kMixerDstUndefined;
}

TQelSysMixer::TQelSysMixer(QObject* owner) : QObject(owner)
{
    MixerNames = mixerDeviceNames();
    NewMixer();
}

TQelSysMixer::~TQelSysMixer()
{
    // Changes still on their way must not reach an owner that is going away.
    OnMuteChange = nullptr;
    OnVolumeChange = nullptr;
    SetMixerID(-1);
}

void TQelSysMixer::SetLineType(TQelMixerLineType type)
{
    if (type >= LineTypes || type == lineType_)
        return;
    lineType_ = type;
    NewLineType();
}

void TQelSysMixer::SetMixerID(int32_t id)
{
    if (id == mixerID_)
        return;
    mixerID_ = id;
    NewMixer();
}

void TQelSysMixer::SetSourceID(int32_t index)
{
    if (index == sourceID_)
        return;
    sourceID_ = index;
    NewSource();
}

// --- rebuilding ---

void TQelSysMixer::NewMixer()
{
    mixer_.reset();  // its change events die with it
    if (mixerID_ >= 0)
        mixer_ = mixerOpen(uint32_t(mixerID_));
    if (mixer_) {
        mixer_->setOnControlChange([this](uint32_t controlId) { ControlChange(controlId); });
        NewLineType();
    } else {
        // No device, or one that would not open: nothing is selected.
        sourceNames_.clear();
        haveDestination_ = false;
        sourceID_ = -1;
        NewSource();
    }
}

void TQelSysMixer::NewLineType()
{
    sourceNames_.clear();
    if (!mixer_)
        return;
    destination_ = MixerLine{};
    haveDestination_ = mixer_->destination(QelMixerComponentType(lineType_), &destination_);
    for (uint32_t i = 0; haveDestination_ && i < destination_.connections; ++i) {
        MixerLine source;
        mixer_->source(destination_.destination, i, &source);
        sourceNames_.push_back(source.name);
    }
    sourceID_ = -1;
    NewSource();
}

void TQelSysMixer::NewSource()
{
    for (Control& c : controls_)
        c = Control{};
    // An index that names no source line selects nothing, like -1.
    if (!mixer_ || !haveDestination_ || sourceID_ < 0)
        return;
    MixerLine line;
    if (!mixer_->source(destination_.destination, uint32_t(sourceID_), &line))
        return;
    for (size_t t = 0; t < LineTypes; ++t)
        if (ComponentTypes[t] == line.componentType) {
            sourceType_ = TQelMixerLineType(t);
            break;
        }
    for (int which = Mute; which <= Volume; ++which) {
        Control& c = controls_[which];
        MixerControl found;
        if (!mixer_->control(line, ControlTypes[which], &found))
            continue;
        c.present = true;
        c.id = found.id;
        c.values.assign(found.uniform ? 1 : line.channels, 0);
        Read(c);
    }
}

void TQelSysMixer::Read(Control& c)
{
    const size_t channels = c.values.size();
    std::vector<uint32_t> values(channels, 0);
    if (mixer_->getValues(c.id, &values)) {
        values.resize(channels, 0);  // keep our channel count whatever the device answers
        c.values = std::move(values);
    }
}

void TQelSysMixer::Write(Control& c) { mixer_->setValues(c.id, c.values); }

// --- values ---

uint32_t TQelSysMixer::GetVolumeAll() const
{
    const Control& c = controls_[Volume];
    if (!usable(c) || c.values.empty())
        return 0;
    uint32_t sum = 0;
    for (uint32_t v : c.values)
        sum += v;  // 32-bit, wrapping
    return sum / uint32_t(c.values.size());
}

void TQelSysMixer::SetVolumeAll(uint32_t volume)
{
    Control& c = controls_[Volume];
    if (!usable(c))
        return;
    c.values.assign(c.values.size(), volume);
    Write(c);
}

bool TQelSysMixer::GetMuteAll() const
{
    const Control& c = controls_[Mute];
    if (!usable(c))
        return false;
    for (uint32_t v : c.values)
        if (v != 0)
            return true;
    return false;
}

void TQelSysMixer::SetMuteAll(bool mute)
{
    Control& c = controls_[Mute];
    if (!usable(c) || mute == GetMuteAll())
        return;
    c.values.assign(c.values.size(), mute ? 1u : 0u);
    Write(c);
}

uint32_t TQelSysMixer::Stat(const Control& c, int32_t i) const
{
    if (!usable(c) || i < 0 || size_t(i) >= c.values.size())
        return 0;
    return c.values[size_t(i)];
}

void TQelSysMixer::SetStat(Control& c, int32_t i, uint32_t value)
{
    if (!usable(c) || i < 0 || size_t(i) >= c.values.size() || c.values[size_t(i)] == value)
        return;
    c.values[size_t(i)] = value;
    Write(c);
}

uint32_t TQelSysMixer::GetVolumeStat(int32_t i) const { return Stat(controls_[Volume], i); }
void TQelSysMixer::SetVolumeStat(int32_t i, uint32_t volume) { SetStat(controls_[Volume], i, volume); }
bool TQelSysMixer::GetMuteStat(int32_t i) const { return Stat(controls_[Mute], i) != 0; }
void TQelSysMixer::SetMuteStat(int32_t i, bool mute) { SetStat(controls_[Mute], i, mute ? 1 : 0); }
bool TQelSysMixer::GetOnOffStat(int32_t i) const { return Stat(controls_[OnOff], i) != 0; }
void TQelSysMixer::SetOnOffStat(int32_t i, bool on) { SetStat(controls_[OnOff], i, on ? 1 : 0); }

// --- changes made elsewhere ---

void TQelSysMixer::ControlChange(uint32_t controlId)
{
    if (!mixer_)
        return;
    if (Control& c = controls_[Mute]; c.present && c.id == controlId) {
        Read(c);
        if (OnMuteChange)
            OnMuteChange(this);
    }
    if (Control& c = controls_[Volume]; c.present && c.id == controlId) {
        Read(c);
        if (OnVolumeChange)
            OnVolumeChange(this);
    }
}
