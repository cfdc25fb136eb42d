#include "PluginHost.h"

#include <QCoreApplication>
#include <QEvent>

#include "platform/ui/Codepage.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

PluginHost* current = nullptr;  // the callback carries no host pointer

std::string Hex(int32_t code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", unsigned(code));
    return buf;
}

}  // namespace

PluginHost::PluginHost(TraceWriter& trace, ReceiverState& state, int32_t maxVolume, QObject* parent)
    : QObject(parent), trace_(trace), state_(state), maxVolume_(maxVolume)
{
    current = this;
    connect(&state_, &ReceiverState::changed, this, &PluginHost::onChanged);
    const auto reportLevel = [this] { notify(ORV_SIGNAL_LEVEL, state_.get("SignalStrength")); };
    connect(&level_, &QTimer::timeout, this, reportLevel);
    levelNow_.setSingleShot(true);
    levelNow_.setInterval(0);
    connect(&levelNow_, &QTimer::timeout, this, reportLevel);
}

PluginHost::~PluginHost()
{
    if (attached_)
        close();
    if (done_)
        done_();
    if (current == this)
        current = nullptr;
    // The library stays loaded: its windows and Qt types may outlive this object's events.
}

bool PluginHost::load(const std::string& path, std::string* error)
{
    lib_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib_) {
        *error = dlerror();
        return false;
    }
    init_ = reinterpret_cast<OrvPluginInitFn>(dlsym(lib_, "orvPluginInit"));
    start_ = reinterpret_cast<OrvPluginStartFn>(dlsym(lib_, "orvPluginStart"));
    notify_ = reinterpret_cast<OrvPluginNotifyFn>(dlsym(lib_, "orvPluginNotify"));
    done_ = reinterpret_cast<OrvPluginDoneFn>(dlsym(lib_, "orvPluginDone"));
    if (!init_ || !start_ || !notify_ || !done_) {
        *error = path + " is not an orv plug-in";
        return false;
    }
    char name[64] = {};
    const int32_t version = init_(ORV_INTERFACE_VERSION, 0, name, sizeof name - 1);
    // The name comes in the plug-in's code page ("SmartNet" and 0xAE for the registered sign).
    const std::string shown = platform::FromCp1252(name).toStdString();
    trace_.write({TraceWriter::text("dir", "host->plugin"), TraceWriter::text("call", "orvPluginInit"),
                  TraceWriter::number("result", version), TraceWriter::text("name", shown)});
    if (version < ORV_INTERFACE_VERSION) {
        refused_ = true;
        *error = path + " cannot run here (it found no sound input, or wants another host version)";
        return false;
    }
    name_ = shown;
    return true;
}

bool PluginHost::start()
{
    OrvReceiverInfo info{};
    info.receiverNumber = state_.receiver();
    info.maxVolume = maxVolume_;
    attached_ = true;
    const int32_t instance = start_(kHostWindow, &info, &PluginHost::Callback, &flags_);
    trace_.write({TraceWriter::text("dir", "host->plugin"), TraceWriter::text("call", "orvPluginStart"),
                  TraceWriter::number("result", instance)});
    if (instance == ORV_START_FAILED)
        attached_ = false;
    if (attached_)
        level_.start(kLevelIntervalMs);
    return attached_;
}

void PluginHost::close()
{
    if (!attached_)
        return;
    notify(ORV_DETACH, 0);
    // The window closes from the event loop; it detaches as its last command.
    for (int i = 0; i < 200 && attached_; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    attached_ = false;
    level_.stop();
}

void PluginHost::onChanged(const QString& name, int value)
{
    // Every frequency change is told, the plug-in's own too (Callback does that before the command
    // returns); the others only when the user or a script made them.
    if (name == QLatin1String("Frequency")) {
        if (!fromPlugin_) {
            notify(ORV_FREQUENCY, value);
            levelAfterRetune();
        }
    } else if (fromPlugin_) {
        return;
    } else if (name == QLatin1String("Volume")) {
        notify(ORV_VOLUME, value);
    } else if (name == QLatin1String("Attenuator")) {
        notify(ORV_ATTENUATOR, value);
    } else if (name == QLatin1String("Power")) {
        notify(ORV_POWER, value);
    }
}

int32_t PluginHost::notify(int32_t code, int32_t value)
{
    if (!attached_)
        return 0;
    const int32_t taken = notify_(kHostWindow, code, value, 0, 0);
    trace_.write({TraceWriter::text("dir", "host->plugin"), TraceWriter::text("code", Hex(code)),
                  TraceWriter::number("value", value), TraceWriter::number("result", taken)});
    return taken;
}

int32_t PluginHost::Callback(OrvInstance instance, int32_t code, int32_t param, int32_t length, const char* pointer)
{
    if (!current)
        return ORV_NOT_ATTACHED;
    current->fromPlugin_ = true;
    const int32_t result = current->answer(code, param);
    current->fromPlugin_ = false;
    std::vector<TraceWriter::Field> fields = {TraceWriter::text("dir", "plugin->host"), TraceWriter::text("code", Hex(code)),
                                              TraceWriter::number("param", param), TraceWriter::number("result", result),
                                              TraceWriter::number("instance", instance)};
    if (pointer && length > 0)
        fields.push_back(TraceWriter::text(
            "text", platform::FromCp1252(std::string(pointer, strnlen(pointer, size_t(length)))).toStdString()));
    current->trace_.write(fields);
    if (code == ORV_FREQUENCY) {
        current->notify(ORV_FREQUENCY, param);  // every tune is notified, before the command returns
        current->levelAfterRetune();
    }
    return result;
}

void PluginHost::levelAfterRetune()
{
    // A receiver's meter moves as soon as it is tuned: the new channel's level is told as soon as
    // the command is done, and the regular reports go on from there.
    if (!attached_)
        return;
    levelNow_.start();
    level_.start(kLevelIntervalMs);
}

int32_t PluginHost::answer(int32_t code, int32_t param)
{
    switch (code) {
    case ORV_GET:
        switch (param) {
        case ORV_FREQUENCY: return state_.get("Frequency");
        case ORV_MODE: return state_.get("Mode");
        case ORV_VOLUME: return state_.get("Volume");
        case ORV_ATTENUATOR: return state_.get("Attenuator");
        case ORV_DATA_OUTPUT: return state_.get("DataOutput");
        case ORV_CODE_0B01: return state_.get("SignalStrength");
        default: return 0;
        }
    case ORV_FREQUENCY: state_.setValue("Frequency", param); break;
    case ORV_MODE: state_.setValue("Mode", param); break;
    case ORV_SET_VOLUME: state_.setValue("Volume", std::clamp(param, 0, maxVolume_)); break;
    case ORV_SET_ATTENUATOR: state_.setValue("Attenuator", param != 0 ? 1 : 0); break;
    case ORV_SET_DATA_OUTPUT: state_.setValue("DataOutput", param != 0 ? 1 : 0); break;
    // ORV_SIGNAL_LEVEL as a command (the level restored at close) changes nothing: the level is
    // what the receiver measures.
    case ORV_DETACH:
        attached_ = false;
        QMetaObject::invokeMethod(this, [this] { emit detached(); }, Qt::QueuedConnection);
        break;
    default: break;
    }
    return 0;
}
