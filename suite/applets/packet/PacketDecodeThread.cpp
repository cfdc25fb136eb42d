#include "PacketDecodeThread.h"

#include <algorithm>
#include <chrono>
#include <cstring>

TPacketDecodeThread::TPacketDecodeThread(std::function<void()> notify, const TMakeDecoder& make)
    : notify_(std::move(notify)), decoder_(make(*this))
{
}

TPacketDecodeThread::~TPacketDecodeThread()
{
    Terminate();
}

void TPacketDecodeThread::Resume()
{
    std::lock_guard life(lifeMutex_);
    if (resumed_)
        return;
    resumed_ = true;
    thread_ = std::thread([this] { Execute(); });
}

void TPacketDecodeThread::Terminate()
{
    std::lock_guard life(lifeMutex_);
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool TPacketDecodeThread::Receiving() const
{
    return decoder_->Receiving();
}

bool TPacketDecodeThread::TakeQueue(std::chrono::milliseconds wait) const
{
    std::unique_lock lock(mutex_);
    if (!wake_.wait_for(lock, wait, [this] { return !held_; }))
        return false;
    held_ = true;
    return true;
}

void TPacketDecodeThread::GiveQueue() const
{
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    wake_.notify_all();
}

size_t TPacketDecodeThread::QueuedBytes() const
{
    TakeQueue(std::chrono::hours(1));
    const size_t bytes = (queue_.size() - read_) * sizeof(int16_t);
    GiveQueue();
    return bytes;
}

bool TPacketDecodeThread::AddAudio(const int16_t* samples, size_t count)
{
    if (!TakeQueue(std::chrono::milliseconds(kAddAudioWaitMs)))
        return false;
    const size_t queued = (queue_.size() - read_) * sizeof(int16_t);
    const bool receiving = decoder_->Receiving();
    // Beyond the limit only the newest sound is kept, the new buffer included.
    size_t limit = 0;
    if (queued < kIdleQueueBytes || receiving) {
        if (queued + count * sizeof(int16_t) > kMaxQueueBytes)
            limit = kMaxQueueBytes / sizeof(int16_t);
    } else {
        limit = kIdleQueueBytes / sizeof(int16_t);
    }
    if (read_ > 0 && (read_ >= queue_.size() / 2 || limit)) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(read_));
        read_ = 0;
    }
    if (limit) {
        if (count >= limit) {
            queue_.assign(samples + (count - limit), samples + count);
        } else {
            const size_t keep = std::min(queue_.size(), limit - count);
            queue_.erase(queue_.begin(), queue_.end() - static_cast<std::ptrdiff_t>(keep));
            queue_.insert(queue_.end(), samples, samples + count);
        }
    } else {
        queue_.insert(queue_.end(), samples, samples + count);
    }
    GiveQueue();
    return true;
}

void TPacketDecodeThread::Execute()
{
    std::vector<int16_t> block(kBlockSamples);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            // The thread takes its block while it holds the lock itself, so it needs no `held_`.
            wake_.wait(lock, [this] { return terminated_ || (!held_ && queue_.size() - read_ >= kBlockSamples); });
            if (terminated_)
                return;
            std::memcpy(block.data(), queue_.data() + read_, kBlockSamples * sizeof(int16_t));
            read_ += kBlockSamples;
            if (read_ == queue_.size()) {
                queue_.clear();
                read_ = 0;
            }
        }
        decoder_->DecodeBlock(block.data(), Mode300());
    }
}

std::vector<TPacketEvent> TPacketDecodeThread::TakeOutput()
{
    std::lock_guard lock(outMutex_);
    notified_ = false;
    std::vector<TPacketEvent> out;
    out.swap(out_);
    return out;
}

void TPacketDecodeThread::Emit(TPacketEvent e)
{
    bool tell = false;
    {
        std::lock_guard lock(outMutex_);
        // Status changes that follow one another are folded into one: the window shows the last.
        if (e.Kind == TPacketEvent::Status && !out_.empty() && out_.back().Kind == TPacketEvent::Status) {
            TPacketEvent& s = out_.back();
            if (e.HasText) {
                s.HasText = true;
                s.Text = std::move(e.Text);
            }
            if (e.HasTones) {
                s.HasTones = true;
                s.Lower = e.Lower;
                s.Upper = e.Upper;
            }
            s.Repaint = s.Repaint || e.Repaint;
        } else {
            out_.push_back(std::move(e));
        }
        tell = !notified_;
        notified_ = true;
    }
    if (tell && notify_)
        notify_();
}

void TPacketDecodeThread::FramePrinted(std::vector<TPacketTextItem> items)
{
    TPacketEvent e;
    e.Kind = TPacketEvent::Frame;
    e.Items = std::move(items);
    Emit(std::move(e));
}

void TPacketDecodeThread::StatusUpdate(const char* text, bool repaint)
{
    TPacketEvent e;
    e.HasText = text != nullptr;
    if (text)
        e.Text = text;
    e.Repaint = repaint;
    Emit(std::move(e));
}

void TPacketDecodeThread::TonesFound(int32_t lower, int32_t upper)
{
    TPacketEvent e;
    e.HasTones = true;
    e.Lower = lower;
    e.Upper = upper;
    Emit(std::move(e));
}
