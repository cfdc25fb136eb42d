#pragma once
// The mixer service: mixer devices with destination lines (where sound goes: speakers, the
// recording input), the source lines that feed each destination, and the controls of a line
// (mute, on/off, volume) with one value per channel, or one for a uniform control.
// Changes made elsewhere come back as events on the thread that runs the Qt event loop.
//
// Devices: the fake mixers set with setFakeMixers when there are any, else one mixer per sound
// card; with no card there are none.
//
// The cards' simple mixer elements have no destinations or line types of their own; they are
// mapped as follows:
//   - destination kMixerDstSpeakers: every element with a playback volume or switch;
//     its controls are the playback volume and mute (the inverted playback switch);
//   - destination kMixerDstWaveIn: every element with a capture volume or switch;
//     its controls are the capture volume and on/off (the capture switch, "record from here");
//   - the source type comes from the element's name: "Line" kMixerSrcLine, "Mic"
//     kMixerSrcMicrophone, "CD" kMixerSrcCompactDisc, "PCM" and "Wave" kMixerSrcWaveOut, "Aux"
//     kMixerSrcAuxiliary, "Synth" kMixerSrcSynthesizer, "Phone" kMixerSrcTelephone,
//     "Beep"/"PC Speaker" kMixerSrcPCSpeaker, "Digital"/"IEC958" kMixerSrcDigital; anything else,
//     "Master" included, kMixerSrcUndefined;
//   - volumes are scaled to 0..65535 over the element's own range; a control is uniform when the
//     element joins its channels.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Line component types (the numbers the system's line types stand for).
constexpr uint32_t kMixerDstUndefined = 0x0000, kMixerDstDigital = 0x0001, kMixerDstLine = 0x0002,
                   kMixerDstMonitor = 0x0003, kMixerDstSpeakers = 0x0004, kMixerDstHeadphones = 0x0005,
                   kMixerDstTelephone = 0x0006, kMixerDstWaveIn = 0x0007, kMixerDstVoiceIn = 0x0008;
constexpr uint32_t kMixerSrcUndefined = 0x1000, kMixerSrcDigital = 0x1001, kMixerSrcLine = 0x1002,
                   kMixerSrcMicrophone = 0x1003, kMixerSrcSynthesizer = 0x1004, kMixerSrcCompactDisc = 0x1005,
                   kMixerSrcTelephone = 0x1006, kMixerSrcPCSpeaker = 0x1007, kMixerSrcWaveOut = 0x1008,
                   kMixerSrcAuxiliary = 0x1009, kMixerSrcAnalog = 0x100A;
// Control types.
constexpr uint32_t kMixerControlOnOff = 0x20010001, kMixerControlMute = 0x20010002,
                   kMixerControlVolume = 0x50030001;

constexpr uint32_t kMixerNoSource = 0xFFFFFFFFu;

struct MixerLine {
    uint32_t destination = 0;           // index of the destination line
    uint32_t source = kMixerNoSource;   // index of the source line, or kMixerNoSource for the destination
    uint32_t componentType = kMixerDstUndefined;
    uint32_t channels = 0;
    uint32_t connections = 0;           // destination: number of source lines
    std::string name;
};

struct MixerControl {
    uint32_t id = 0;
    uint32_t type = 0;
    bool uniform = false;  // one value for all channels
    uint32_t minimum = 0;
    uint32_t maximum = 65535;
};

// What a mixer device does; the open handles below share one device.
class MixerDevice {
public:
    virtual ~MixerDevice() = default;
    virtual std::string name() const = 0;
    // The first destination line of that component type; false when there is none.
    virtual bool destination(uint32_t componentType, MixerLine* line) = 0;
    // Source line sourceIndex of destination line destination; false when out of range.
    virtual bool source(uint32_t destination, uint32_t sourceIndex, MixerLine* line) = 0;
    // The line's control of that type; false when it has none.
    virtual bool control(const MixerLine& line, uint32_t controlType, MixerControl* control) = 0;
    // values->size() values (one per channel, or one for a uniform control); false for an unknown id.
    virtual bool getValues(uint32_t controlId, std::vector<uint32_t>* values) = 0;
    virtual bool setValues(uint32_t controlId, const std::vector<uint32_t>& values) = 0;

    // Posts a control-change event to every open handle of this device.
    void notifyChange(uint32_t controlId);

    struct Listener {
        std::function<void(uint32_t)> onChange;
    };
    void addListener(const std::shared_ptr<Listener>& l);

private:
    std::mutex mutex_;
    std::vector<std::weak_ptr<Listener>> listeners_;
};

// An open mixer. onControlChange (controlId) runs on the event-loop thread for every change
// of a control, made by anyone, until the handle is destroyed.
class Mixer {
public:
    explicit Mixer(std::shared_ptr<MixerDevice> device);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    std::string name() const { return device_->name(); }
    bool destination(uint32_t componentType, MixerLine* line) { return device_->destination(componentType, line); }
    bool source(uint32_t destination, uint32_t index, MixerLine* line) { return device_->source(destination, index, line); }
    bool control(const MixerLine& line, uint32_t type, MixerControl* c) { return device_->control(line, type, c); }
    bool getValues(uint32_t controlId, std::vector<uint32_t>* values) { return device_->getValues(controlId, values); }
    bool setValues(uint32_t controlId, const std::vector<uint32_t>& values) { return device_->setValues(controlId, values); }
    void setOnControlChange(std::function<void(uint32_t controlId)> handler);

private:
    std::shared_ptr<MixerDevice> device_;
    std::shared_ptr<MixerDevice::Listener> listener_;
};

uint32_t mixerDeviceCount();
std::vector<std::string> mixerDeviceNames();
// Null for a number out of range or a device that cannot be opened.
std::unique_ptr<Mixer> mixerOpen(uint32_t deviceId);

// A mixer built by a test: lines, controls with values, and changes "from outside".
class FakeMixer : public MixerDevice {
public:
    explicit FakeMixer(std::string name) : name_(std::move(name)) {}
    uint32_t addDestination(uint32_t componentType, const std::string& name, uint32_t channels);
    uint32_t addSource(uint32_t destination, uint32_t componentType, const std::string& name, uint32_t channels);
    // Returns the control id; values has one entry per channel (one when uniform).
    uint32_t addControl(uint32_t destination, uint32_t source, uint32_t type, bool uniform,
                        std::vector<uint32_t> values);
    // Another program changes a control: the values are stored and a change event is posted.
    void changeFromOutside(uint32_t controlId, std::vector<uint32_t> values);
    std::vector<uint32_t> values(uint32_t controlId) const;
    int writes() const { return writes_; }  // setValues calls so far

    std::string name() const override { return name_; }
    bool destination(uint32_t componentType, MixerLine* line) override;
    bool source(uint32_t destination, uint32_t sourceIndex, MixerLine* line) override;
    bool control(const MixerLine& line, uint32_t controlType, MixerControl* control) override;
    bool getValues(uint32_t controlId, std::vector<uint32_t>* values) override;
    bool setValues(uint32_t controlId, const std::vector<uint32_t>& values) override;

private:
    struct Ctl {
        uint32_t destination, source, type;
        bool uniform;
        std::vector<uint32_t> values;
    };
    std::string name_;
    std::vector<MixerLine> destinations_;
    std::vector<std::vector<MixerLine>> sources_;
    std::vector<Ctl> controls_;
    int writes_ = 0;
};

// Makes these the only mixer devices (empty: back to the sound cards).
void setFakeMixers(std::vector<std::shared_ptr<FakeMixer>> mixers);

}  // namespace platform
