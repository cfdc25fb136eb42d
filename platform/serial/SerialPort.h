#pragma once
// A serial port as the system's transmit-side code drives it: open by name, read and write its
// settings (rate and the DTR and RTS control modes), purge, switch RTS, send single bytes and wait for
// the port's next event. The Linux port works on termios; a fake records every call for tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Control modes of the DTR and RTS lines, as the settings record holds them.
enum : uint32_t { kLineDisable = 0, kLineEnable = 1, kLineHandshake = 2 };

// The part of the port settings the system reads and writes.
struct TSerialSettings {
    uint32_t BaudRate = 0;
    uint32_t DtrControl = kLineDisable;
    uint32_t RtsControl = kLineDisable;
    bool operator==(const TSerialSettings&) const = default;
};

class TSerialPort {
public:
    virtual ~TSerialPort();
    virtual TSerialSettings GetSettings() = 0;
    virtual void SetSettings(const TSerialSettings& s) = 0;
    // Drops whatever waits to be sent or has been received.
    virtual void Purge() = 0;
    virtual void SetRTS(bool on) = 0;
    // The state the RTS line is in now, whatever put it there (SetRTS or the settings).
    virtual bool GetRTS() = 0;
    // Sends one byte; false when the port has no room for it now (try again after WaitEvent).
    virtual bool TransmitChar(uint8_t b) = 0;
    // Blocks until the port can take more output, a character arrives (it is discarded) or Wake is called.
    virtual void WaitEvent() = 0;
    // Blocks until everything sent has left the port (its transmit queue has run empty), a character
    // arrives or Wake is called.
    virtual void WaitSent() = 0;
    // Ends a WaitEvent in progress or the next one; callable from any thread.
    virtual void Wake() = 0;
};

// Opens a port by name (a device path such as /dev/ttyS0); nullptr when it cannot be opened.
using TSerialOpener = std::function<std::unique_ptr<TSerialPort>(const std::string& name)>;
std::unique_ptr<TSerialPort> OpenSerialPort(const std::string& name);

}  // namespace platform
