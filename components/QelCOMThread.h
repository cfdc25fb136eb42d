#pragma once
// The worker that owns a serial port for TQelCOMPort: it opens the port when the name changes, applies
// new settings, sends the queued bytes one after the other as the port takes them, and fills idle time
// with the idle byte. The owner's calls and the worker meet under one lock.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <platform/serial/SerialPort.h>

class TQelCOMThread {
public:
    explicit TQelCOMThread(platform::TSerialOpener opener = platform::OpenSerialPort);
    // Ends the worker, which purges and closes the port; the queue goes with the object.
    ~TQelCOMThread();
    TQelCOMThread(const TQelCOMThread&) = delete;
    TQelCOMThread& operator=(const TQelCOMThread&) = delete;

    std::string PortName() const;
    // A different name (case counts) purges the port and has the worker open the new one.
    void SetPortName(const std::string& name);
    uint32_t PortRate() const;
    void SetPortRate(uint32_t rate);
    // 0 disable, 1 enable, 2 handshake; stored AND 3.
    uint32_t PortDTR() const;
    void SetPortDTR(uint32_t v);
    // 1 raises RTS, anything else clears it. Reads the line's state (0 with no port open).
    uint32_t PortRTS() const;
    void SetPortRTS(uint32_t v);
    uint8_t IdleCode() const;
    void SetIdleCode(uint8_t b);
    bool SendIdleCode() const;
    void SetSendIdleCode(bool on);

    // Appends n bytes to the send queue and starts sending when nothing is on its way.
    void QueueBytes(const uint8_t* buffer, int32_t n);
    // Sends the next queued byte, or the idle byte when the queue is empty and idling is on.
    // 0 after sending (or with no port open), 1 when there was nothing to send.
    int SendNextChar();

    void SetOnOutBufSent(std::function<void(TQelCOMThread* sender, uint8_t* outBuf)> f);

    // For tests: whether a port is open, and the fill counts of the queue's blocks in order.
    bool PortOpen() const;
    std::vector<uint32_t> BlockFills() const;

    static constexpr uint32_t kBlockSize = 1024;

private:
    struct Block {
        uint8_t data[kBlockSize] = {};
        uint32_t fill = 0;
        uint32_t read = 0;
    };

    void Execute();
    void openLocked();
    int sendNextCharLocked();
    bool queueDrainedLocked() const;
    // Wakes the worker from its wait and from a wait on the port.
    void wakeLocked();

    platform::TSerialOpener opener_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<platform::TSerialPort> port_;
    bool terminate_ = false;
    bool reopen_ = false;
    std::string name_;
    platform::TSerialSettings settings_;
    bool apply_ = false;
    std::list<Block> queue_;
    bool inFlight_ = false;
    uint8_t idleCode_ = 0;
    bool idle_ = false;
    std::function<void(TQelCOMThread*, uint8_t*)> onOutBufSent_;
    std::thread thread_;  // last: started once every field above is set up
};
