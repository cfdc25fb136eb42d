#pragma once
// orvhost's side of the orv plug-in interface: loads a decoder plug-in, starts its window for the
// primary receiver, answers its commands from the receiver's state and tells it of every change.
#include "TraceWriter.h"
#include "plugin/frame/OrvPlugin.h"

#include <QObject>

#include <string>

class PluginHost : public QObject {
    Q_OBJECT
public:
    // The primary receiver as the plug-in sees it.
    struct Radio {
        int32_t frequency = 450012500;
        int32_t mode = ORV_MODE_NFM;
        int32_t volume = 128;
        int32_t attenuator = 0;
        int32_t dataOutput = 0;
        int32_t signalLevel = 0;
    };

    PluginHost(TraceWriter& trace, int32_t receiver, int32_t maxVolume = 255, QObject* parent = nullptr);
    ~PluginHost() override;

    // dlopen and orvPluginInit (version 0x100); false with the reason when the plug-in cannot run.
    bool load(const std::string& path, std::string* error);
    const std::string& name() const { return name_; }
    // orvPluginStart; true when the window started.
    bool start();
    bool attached() const { return attached_; }
    // Closes the plug-in's window as a host does: ORV_DETACH, then events run until it has detached.
    void close();
    // A change of the receiver made here (the user, a script): the plug-in is told.
    void setFrequency(int32_t hz);
    const Radio& radio() const { return radio_; }

    static constexpr OrvHostWindow kHostWindow = 0x4F5256;  // our window as the plug-in knows it

signals:
    void detached();

private:
    static int32_t Callback(OrvInstance instance, int32_t code, int32_t param, int32_t length, const char* pointer);
    int32_t answer(int32_t code, int32_t param);
    int32_t notify(int32_t code, int32_t value);

    TraceWriter& trace_;
    int32_t receiver_;
    int32_t maxVolume_;
    void* lib_ = nullptr;
    OrvPluginInitFn init_ = nullptr;
    OrvPluginStartFn start_ = nullptr;
    OrvPluginNotifyFn notify_ = nullptr;
    OrvPluginDoneFn done_ = nullptr;
    std::string name_;
    Radio radio_;
    uint32_t flags_ = 0;
    bool attached_ = false;
};
