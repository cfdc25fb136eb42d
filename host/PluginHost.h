#pragma once
// orvhost's side of the orv plug-in interface: loads a decoder plug-in, starts its window for the
// primary receiver, answers its commands from the receiver's state and tells it of every change the
// user or a script makes (frequency, volume, attenuator, power) and of the signal level, which a
// receiver reports at once after every retune and every kLevelIntervalMs. The plug-in's display
// name is kept as text (UTF-8), turned from the code page it comes in.
#include "ReceiverState.h"
#include "TraceWriter.h"
#include "plugin/frame/OrvPlugin.h"

#include <QObject>
#include <QTimer>

#include <string>

class PluginHost : public QObject {
    Q_OBJECT
public:
    PluginHost(TraceWriter& trace, ReceiverState& state, int32_t maxVolume = 255, QObject* parent = nullptr);
    ~PluginHost() override;

    // dlopen and orvPluginInit (version 0x100); false with the reason when the plug-in cannot run.
    bool load(const std::string& path, std::string* error);
    const std::string& name() const { return name_; }
    // The plug-in loaded but said at its initialisation that it cannot run (no sound input).
    bool refused() const { return refused_; }
    // orvPluginStart; true when the window started.
    bool start();
    bool attached() const { return attached_; }
    // Closes the plug-in's window as a host does: ORV_DETACH, then events run until it has detached.
    void close();

    static constexpr OrvHostWindow kHostWindow = 0x4F5256;  // our window as the plug-in knows it
    static constexpr int kLevelIntervalMs = 200;

signals:
    void detached();

private:
    static int32_t Callback(OrvInstance instance, int32_t code, int32_t param, int32_t length, const char* pointer);
    int32_t answer(int32_t code, int32_t param);
    int32_t notify(int32_t code, int32_t value);
    void onChanged(const QString& name, int value);
    void levelAfterRetune();

    TraceWriter& trace_;
    ReceiverState& state_;
    int32_t maxVolume_;
    void* lib_ = nullptr;
    OrvPluginInitFn init_ = nullptr;
    OrvPluginStartFn start_ = nullptr;
    OrvPluginNotifyFn notify_ = nullptr;
    OrvPluginDoneFn done_ = nullptr;
    std::string name_;
    uint32_t flags_ = 0;
    bool attached_ = false;
    bool refused_ = false;
    bool fromPlugin_ = false;  // a change the plug-in's own command made: not told back
    QTimer level_;
    QTimer levelNow_;  // the level right after a retune
};
