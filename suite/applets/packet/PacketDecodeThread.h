#pragma once
// The packet decoder's worker thread: the GUI thread hands it captured sound (AddAudio); it takes
// the sound in blocks of 4096 samples, demodulates and frames them, and hands printed frames and
// status changes back without ever waiting for the window (the window collects them with
// TakeOutput when told that there is something to collect).
#include "PacketPrinter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One hand-back to the window, in the order they happened.
struct TPacketEvent {
    enum TKind { Frame, Status };
    TKind Kind = Status;
    // Frame: the printed items (none when the frame could not be printed; the log still gets the
    // date-time line).
    std::vector<TPacketTextItem> Items;
    // Status: the receiver-state text when HasText, whether the status bar is repainted, and the
    // tuning indicator's tones when HasTones (lower 0: no tones).
    bool HasText = false;
    std::string Text;
    bool Repaint = false;
    bool HasTones = false;
    int32_t Lower = 0, Upper = 0;
};

// What the demodulators and the frame receiver report, on the decoding thread.
class TPacketOutput {
public:
    virtual ~TPacketOutput() = default;
    virtual void FramePrinted(std::vector<TPacketTextItem> items) = 0;
    virtual void StatusUpdate(const char* text, bool repaint) = 0;  // text null: unchanged
    virtual void TonesFound(int32_t lower, int32_t upper) = 0;
};

// The work on one block: the demodulator of the mode and the frame receiver behind it.
class TPacketBlockDecoder {
public:
    virtual ~TPacketBlockDecoder() = default;
    virtual void DecodeBlock(const int16_t* block, bool mode300) = 0;
    // Whether a frame is being received (read by AddAudio on the GUI thread).
    virtual bool Receiving() const = 0;
};

class TPacketDecodeThread : private TPacketOutput {
public:
    static constexpr size_t kBlockSamples = 4096;
    // Queued sound is kept to its newest 98304 bytes while no frame is being received.
    static constexpr size_t kIdleQueueBytes = 0x18000;
    // During a frame the queue grows, up to 2 MiB (about 24 s of sound, twice the longest frame
    // at 300 bit/s), beyond which the oldest sound is dropped.
    static constexpr size_t kMaxQueueBytes = 0x200000;
    static constexpr int kAddAudioWaitMs = 500;

    using TMakeDecoder = std::function<std::unique_ptr<TPacketBlockDecoder>(TPacketOutput&)>;

    // `notify` is called on the decoding thread when output waits to be collected and none was
    // waiting before; it must not block (a queued call to the window). `make` builds the block
    // decoder that reports to the thread (MakePacketDecoder: both demodulators and the frame receiver).
    TPacketDecodeThread(std::function<void()> notify, const TMakeDecoder& make);
    ~TPacketDecodeThread();
    TPacketDecodeThread(const TPacketDecodeThread&) = delete;
    TPacketDecodeThread& operator=(const TPacketDecodeThread&) = delete;

    // The thread is created suspended; Resume starts it (once).
    void Resume();
    // Tells the thread to end after its current block and waits for it; afterwards nothing more
    // is handed back. Safe to call more than once.
    void Terminate();

    // GUI thread: appends a captured buffer; false when the queue's lock was not had within
    // 500 ms and the buffer was dropped.
    bool AddAudio(const int16_t* samples, size_t count);

    void SetMode300(bool on) { mode300_.store(on, std::memory_order_relaxed); }
    bool Mode300() const { return mode300_.load(std::memory_order_relaxed); }
    bool Receiving() const;

    // GUI thread: everything handed back since the last call, oldest first.
    std::vector<TPacketEvent> TakeOutput();

    size_t QueuedBytes() const;
    bool Running() const { return thread_.joinable(); }

private:
    void Execute();
    // Takes the queue within the time, or without limit; false when the time ran out.
    bool TakeQueue(std::chrono::milliseconds wait) const;
    void GiveQueue() const;
    void Emit(TPacketEvent e);
    void FramePrinted(std::vector<TPacketTextItem> items) override;
    void StatusUpdate(const char* text, bool repaint) override;
    void TonesFound(int32_t lower, int32_t upper) override;

    std::function<void()> notify_;
    std::unique_ptr<TPacketBlockDecoder> decoder_;
    std::atomic<bool> mode300_{false};

    // The audio queue: samples from `read_` on are waiting. Whoever works on it holds `held_`
    // (taken and given back under `mutex_`), so that the hand-over can give up after a time.
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    mutable bool held_ = false;
    std::vector<int16_t> queue_;
    size_t read_ = 0;
    bool terminated_ = false;

    std::mutex outMutex_;
    std::vector<TPacketEvent> out_;
    bool notified_ = false;

    std::thread thread_;
    std::mutex lifeMutex_;  // Resume and Terminate
    bool resumed_ = false;
};
