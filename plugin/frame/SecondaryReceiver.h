#pragma once
// The decoder window's second receiver of its own: its choice from the receivers the library
// offers, its start and stop, parking it and sending it to a traffic channel.
//
// The chosen receiver number is kept apart from whether that receiver is open: power-off and
// suspend close the receiver but keep the choice, so that power-on and resume set the same
// receiver up again, and nothing is sent to a receiver while it is closed.
#include "ReceiverLibrary.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kSecondaryParkFrequency = 1000000;  // where the receiver waits, muted
constexpr int32_t kSecondaryMode = 2;                  // the mode traffic is tuned in, as the host's
constexpr int32_t kSecondaryScanMode = 1;              // stay on the frequency given

// What the receiver handling asks of the decoder window.
class TSecondaryWindow {
public:
    virtual ~TSecondaryWindow() = default;
    virtual int32_t HostVolume() = 0;      // the host's volume (a get command to the host)
    virtual int32_t HostAttenuator() = 0;  // the host's attenuator state (a get command to the host)
    virtual void RestartInputChannelTest() = 0;
    virtual bool RetToCtrlEnabled() = 0;   // "Return to control channel": a call is being followed
    virtual void DisableRetToCtrl() = 0;
    virtual void TuneHostToControlChannel() = 0;  // the host's receiver back on the control channel
    virtual void RepaintGrid() = 0;
    virtual void SetSecondaryLabel(const std::string& caption) = 0;
};

// One item of the receiver menu; the number travels with the item.
struct TSecondaryMenuItem {
    std::string Caption;
    int32_t Receiver = 0;  // 0 = "None"
    bool operator==(const TSecondaryMenuItem&) const = default;
};

// The caption of a receiver's menu item.
std::string SecondaryCaption(int32_t receiver);

class TSecondaryReceiver {
public:
    TSecondaryReceiver(TReceiverLibrary& library, TSecondaryWindow& window) : library_(library), window_(window) {}
    TSecondaryReceiver(const TSecondaryReceiver&) = delete;
    TSecondaryReceiver& operator=(const TSecondaryReceiver&) = delete;

    // The chosen receiver (0 = none), kept while it is closed.
    int32_t Chosen() const { return chosen_; }
    bool IsOpen() const { return open_; }
    // Chosen and open: the only state in which anything is sent to it.
    bool InUse() const { return chosen_ != 0 && open_; }

    // Opens the chosen receiver (unless it is open already) and sets it up parked, with the host's
    // volume and attenuator; then restarts the input-channel test. Returns true.
    bool StartSecondaryReceiver();
    // Powers the chosen receiver off and closes it; the choice stays.
    void StopSecondaryReceiver();

    // The items of the receiver menu: "None", then each receiver that could be used in ascending
    // order, the chosen one among them. Every receiver opened to find them is closed again.
    std::vector<TSecondaryMenuItem> ListReceivers();
    // A menu item was chosen: the label shows it; for another receiver the followed call is
    // returned from, the old receiver stopped and the new one started.
    void None1Click(const TSecondaryMenuItem& item);

    // Back to the control channel: with a secondary receiver it is parked (the host stays on the
    // control channel), without one the host is tuned there; then nothing is followed any more.
    void RetToCtrlClick();

    // Receiver operations; each does nothing (and reads 0) unless the receiver is in use.
    void Park();                         // 1 MHz, muted
    void Follow(uint32_t hz);            // tuned to a traffic channel and audible
    void SetFrequency(uint32_t hz);
    void SetMute(bool mute);
    uint32_t Frequency();
    uint16_t SignalStrength();           // the low 16 bits of the library's reading
    void SetVolume(int32_t volume);      // the host's volume changed
    void SetAttenuator(int32_t on);      // the host's attenuator changed

private:
    TReceiverLibrary& library_;
    TSecondaryWindow& window_;
    int32_t chosen_ = 0;
    bool open_ = false;
};
