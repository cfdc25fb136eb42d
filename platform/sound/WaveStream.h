#pragma once
// The buffer queue behind one open wave handle, input or output, and the handle table.
// A backend's worker thread feeds (input) or drains (output) the queue; finished buffers are
// collected here and handed to the caller's callback on the event-loop thread.
#include "Wave.h"
#include "WaveScript.h"

#include <QObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::sound {

class WaveStream;

// The device side of an open handle; run() is the worker thread's body and returns once
// stream.quitting() is true.
class Backend {
public:
    virtual ~Backend() = default;
    virtual void run(WaveStream& stream) = 0;
};

class WaveStream {
public:
    using Done = std::function<void(uint32_t, WaveHeader*)>;
    WaveStream(bool input, const WaveFormat& format, Done onDone, QObject* context,
               std::shared_ptr<WaveScript> script);
    ~WaveStream();

    const bool input;
    const WaveFormat format;
    uint32_t id = 0;

    // Caller side (event-loop thread).
    uint32_t prepare(WaveHeader* h);
    uint32_t unprepare(WaveHeader* h);
    uint32_t add(WaveHeader* h);
    uint32_t start();
    uint32_t stop();
    uint32_t reset();
    uint32_t position(uint32_t* bytes);
    bool hasQueued();
    void startWorker(std::unique_ptr<Backend> backend);
    void stopWorker();
    void deliverDone();  // runs the callback for the finished buffers
    WaveScript* script() const { return script_.get(); }

    // Worker side. All take the lock themselves unless named ...Locked.
    std::mutex mutex;
    std::condition_variable wake;
    bool quitting() const { return quit_; }     // read under mutex
    bool started() const { return started_; }   // read under mutex
    uint64_t startCount() const { return startCount_; }
    std::chrono::steady_clock::time_point startTime() const { return startTime_; }  // of the last start
    bool queueEmpty() const { return queue_.empty(); }
    WaveHeader* front() const { return queue_.empty() ? nullptr : queue_.front(); }
    uint32_t frontOffset() const { return offset_; }
    // Input: the bytes the queued buffers can still take (read under mutex).
    size_t roomLocked() const;
    // Input: copies bytes into the queued buffers; bytes with nowhere to go (no buffer, or the
    // device stopped) are lost. Returns the bytes kept; noBuffer, when given, gets the bytes lost
    // while the device ran for want of a queued buffer.
    size_t capture(const uint8_t* data, size_t count, size_t* noBuffer = nullptr);
    // Input and output: n more bytes of the front buffer were filled or played.
    void advanceLocked(size_t n);

private:
    void finishFrontLocked(uint32_t bytes);
    void postLocked();

    Done onDone_;
    QPointer<QObject> context_;
    bool hasContext_;
    std::shared_ptr<WaveScript> script_;
    std::unique_ptr<Backend> backend_;
    std::thread worker_;
    std::deque<WaveHeader*> queue_;
    uint32_t offset_ = 0;  // bytes filled or played of the front buffer
    std::vector<WaveHeader*> done_;
    bool posted_ = false;
    bool started_ = false;
    bool quit_ = false;
    uint64_t startCount_ = 0;
    std::chrono::steady_clock::time_point startTime_;
    uint32_t position_ = 0;
};

// The handle table (event-loop thread; locked for safety).
uint32_t registerStream(std::shared_ptr<WaveStream> stream);
std::shared_ptr<WaveStream> findStream(uint32_t handle, bool input);
void unregisterStream(uint32_t handle);

// The silence byte of a format: 0x80 for 8-bit samples, 0 for 16-bit.
inline uint8_t silenceByte(const WaveFormat& f) { return f.bitsPerSample == 8 ? 0x80 : 0x00; }

}  // namespace platform::sound
