#pragma once
// A serial port for tests: its settings, lines, purges and sent bytes are recorded in a shared log that
// outlives the port, and the room it has for output can be limited to hold bytes back.
#include "SerialPort.h"
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace platform {

struct TFakeSerialLog {
    std::mutex Mutex;
    std::condition_variable Changed;  // notified on every recorded call
    std::vector<std::string> Opened;  // names asked for, in order (refused ones too)
    int Closed = 0;
    std::vector<uint8_t> Sent;
    std::vector<TSerialSettings> Written;  // every SetSettings
    std::vector<bool> RtsCalls;           // every SetRTS
    int Purges = 0;
    int Waits = 0;                        // WaitEvent calls that returned
    int SentWaits = 0;                    // WaitSent calls that returned
    bool Dtr = false, Rts = false;        // the lines as the settings and SetRTS left them
    // Bytes the port still takes before it is full; negative: no limit.
    long Room = -1;
    // The settings a newly opened port reports.
    TSerialSettings Initial{9600, kLineEnable, kLineDisable};
    // Names that fail to open.
    std::vector<std::string> Refused;

    // Waits (up to the time-out) until pred holds under the lock.
    template <typename Pred>
    bool WaitFor(Pred pred, int ms = 5000)
    {
        std::unique_lock lk(Mutex);
        return Changed.wait_for(lk, std::chrono::milliseconds(ms), pred);
    }
    // Gives the port n more bytes of room and wakes a waiting WaitEvent.
    void AddRoom(long n);
};

// An opener whose ports record into log.
TSerialOpener FakeSerialOpener(std::shared_ptr<TFakeSerialLog> log);

}  // namespace platform
