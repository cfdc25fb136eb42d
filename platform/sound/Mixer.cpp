#include "Mixer.h"

#include "AlsaMixer.h"
#include "platform/ui/EventLoopQueue.h"

#include <QCoreApplication>

namespace platform {

namespace {

std::mutex& fakesMutex()
{
    static std::mutex m;
    return m;
}

std::vector<std::shared_ptr<FakeMixer>>& fakes()
{
    static std::vector<std::shared_ptr<FakeMixer>> f;
    return f;
}

std::vector<std::shared_ptr<FakeMixer>> currentFakes()
{
    std::lock_guard lock(fakesMutex());
    return fakes();
}

}  // namespace

void MixerDevice::addListener(const std::shared_ptr<Listener>& l)
{
    std::lock_guard lock(mutex_);
    std::erase_if(listeners_, [](const std::weak_ptr<Listener>& w) { return w.expired(); });
    listeners_.push_back(l);
}

void MixerDevice::notifyChange(uint32_t controlId)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    std::lock_guard lock(mutex_);
    for (const auto& weak : listeners_) {
        if (weak.expired())
            continue;
        // The event holds the listener weakly: a handle destroyed meanwhile gets nothing.
        PostToEventLoop([weak, controlId] {
            if (auto l = weak.lock(); l && l->onChange)
                l->onChange(controlId);
        });
    }
}

Mixer::Mixer(std::shared_ptr<MixerDevice> device)
    : device_(std::move(device)), listener_(std::make_shared<MixerDevice::Listener>())
{
    WatchEventLoopQueue();
    device_->addListener(listener_);
}

Mixer::~Mixer() = default;

void Mixer::setOnControlChange(std::function<void(uint32_t)> handler) { listener_->onChange = std::move(handler); }

uint32_t mixerDeviceCount() { return static_cast<uint32_t>(mixerDeviceNames().size()); }

std::vector<std::string> mixerDeviceNames()
{
    std::vector<std::string> names;
    auto f = currentFakes();
    if (!f.empty()) {
        for (auto& m : f)
            names.push_back(m->name());
        return names;
    }
    return sound::cardMixerNames();
}

std::unique_ptr<Mixer> mixerOpen(uint32_t deviceId)
{
    auto f = currentFakes();
    if (!f.empty())
        return deviceId < f.size() ? std::make_unique<Mixer>(f[deviceId]) : nullptr;
    auto device = sound::openCardMixer(deviceId);
    return device ? std::make_unique<Mixer>(std::move(device)) : nullptr;
}

void setFakeMixers(std::vector<std::shared_ptr<FakeMixer>> mixers)
{
    std::lock_guard lock(fakesMutex());
    fakes() = std::move(mixers);
}

uint32_t FakeMixer::addDestination(uint32_t componentType, const std::string& name, uint32_t channels)
{
    MixerLine line;
    line.destination = static_cast<uint32_t>(destinations_.size());
    line.componentType = componentType;
    line.channels = channels;
    line.name = name;
    destinations_.push_back(line);
    sources_.emplace_back();
    return line.destination;
}

uint32_t FakeMixer::addSource(uint32_t destination, uint32_t componentType, const std::string& name, uint32_t channels)
{
    MixerLine line;
    line.destination = destination;
    line.source = static_cast<uint32_t>(sources_.at(destination).size());
    line.componentType = componentType;
    line.channels = channels;
    line.name = name;
    sources_[destination].push_back(line);
    destinations_[destination].connections = static_cast<uint32_t>(sources_[destination].size());
    return line.source;
}

uint32_t FakeMixer::addControl(uint32_t destination, uint32_t source, uint32_t type, bool uniform,
                               std::vector<uint32_t> values)
{
    controls_.push_back({destination, source, type, uniform, std::move(values)});
    return static_cast<uint32_t>(controls_.size());  // ids start at 1
}

void FakeMixer::changeFromOutside(uint32_t controlId, std::vector<uint32_t> values)
{
    if (controlId == 0 || controlId > controls_.size())
        return;
    controls_[controlId - 1].values = std::move(values);
    notifyChange(controlId);
}

std::vector<uint32_t> FakeMixer::values(uint32_t controlId) const
{
    return controlId == 0 || controlId > controls_.size() ? std::vector<uint32_t>{} : controls_[controlId - 1].values;
}

bool FakeMixer::destination(uint32_t componentType, MixerLine* line)
{
    for (const auto& d : destinations_)
        if (d.componentType == componentType) {
            *line = d;
            return true;
        }
    return false;
}

bool FakeMixer::source(uint32_t destination, uint32_t sourceIndex, MixerLine* line)
{
    if (destination >= sources_.size() || sourceIndex >= sources_[destination].size())
        return false;
    *line = sources_[destination][sourceIndex];
    return true;
}

bool FakeMixer::control(const MixerLine& line, uint32_t controlType, MixerControl* control)
{
    for (size_t i = 0; i < controls_.size(); ++i) {
        const Ctl& c = controls_[i];
        if (c.destination == line.destination && c.source == line.source && c.type == controlType) {
            *control = MixerControl{static_cast<uint32_t>(i + 1), c.type, c.uniform, 0,
                                    controlType == kMixerControlVolume ? 65535u : 1u};
            return true;
        }
    }
    return false;
}

bool FakeMixer::getValues(uint32_t controlId, std::vector<uint32_t>* values)
{
    if (controlId == 0 || controlId > controls_.size() || !values)
        return false;
    *values = controls_[controlId - 1].values;
    return true;
}

bool FakeMixer::setValues(uint32_t controlId, const std::vector<uint32_t>& values)
{
    if (controlId == 0 || controlId > controls_.size() || values.size() != controls_[controlId - 1].values.size())
        return false;
    ++writes_;
    controls_[controlId - 1].values = values;
    notifyChange(controlId);  // every open handle hears of it, the writer's own included
    return true;
}

}  // namespace platform
