#include "WaveStream.h"

#include "platform/ui/EventLoopQueue.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace platform::sound {

namespace {

struct Table {
    std::mutex mutex;
    std::map<uint32_t, std::shared_ptr<WaveStream>> streams;
    uint32_t next = 1;
};

Table& table()
{
    static Table* t = new Table;  // lives to the end of the process: workers may still look up
    return *t;
}

}  // namespace

uint32_t registerStream(std::shared_ptr<WaveStream> stream)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    uint32_t id = t.next++;
    if (id == 0)  // after wrapping; 0 is never a handle
        id = t.next++;
    stream->id = id;
    t.streams[id] = std::move(stream);
    return id;
}

std::shared_ptr<WaveStream> findStream(uint32_t handle, bool input)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.streams.find(handle);
    if (it == t.streams.end() || it->second->input != input)
        return nullptr;
    return it->second;
}

void unregisterStream(uint32_t handle)
{
    std::shared_ptr<WaveStream> gone;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.streams.find(handle);
        if (it == t.streams.end())
            return;
        gone = std::move(it->second);
        t.streams.erase(it);
    }
    gone->stopWorker();
}

WaveStream::WaveStream(bool in, const WaveFormat& f, Done onDone, QObject* context,
                       std::shared_ptr<WaveScript> script)
    : input(in), format(f), onDone_(std::move(onDone)), context_(context), hasContext_(context != nullptr),
      script_(std::move(script)), started_(!in)  // output plays as soon as a buffer is written
{
    WatchEventLoopQueue();
}

WaveStream::~WaveStream() { stopWorker(); }

void WaveStream::startWorker(std::unique_ptr<Backend> backend)
{
    backend_ = std::move(backend);
    worker_ = std::thread([this] { backend_->run(*this); });
}

void WaveStream::stopWorker()
{
    {
        std::lock_guard lock(mutex);
        quit_ = true;
        started_ = false;
    }
    wake.notify_all();
    if (worker_.joinable())
        worker_.join();
    backend_.reset();
}

uint32_t WaveStream::prepare(WaveHeader* h)
{
    if (!h || !h->data || h->bufferLength == 0)
        return kWaveInvalidParam;
    std::lock_guard lock(mutex);
    h->flags |= kWaveHdrPrepared;
    return kWaveNoError;
}

uint32_t WaveStream::unprepare(WaveHeader* h)
{
    if (!h)
        return kWaveInvalidParam;
    std::lock_guard lock(mutex);
    if (h->flags & kWaveHdrInQueue)
        return kWaveStillPlaying;
    h->flags &= ~kWaveHdrPrepared;
    return kWaveNoError;
}

uint32_t WaveStream::add(WaveHeader* h)
{
    if (!h || !h->data || h->bufferLength == 0)
        return kWaveInvalidParam;
    {
        std::lock_guard lock(mutex);
        if (h->flags & kWaveHdrInQueue)
            return kWaveStillPlaying;
        if (!(h->flags & kWaveHdrPrepared))
            return kWaveUnprepared;
        h->flags = (h->flags & ~kWaveHdrDone) | kWaveHdrInQueue;
        h->bytesRecorded = 0;
        queue_.push_back(h);
    }
    wake.notify_all();
    return kWaveNoError;
}

uint32_t WaveStream::start()
{
    {
        std::lock_guard lock(mutex);
        if (!started_) {
            started_ = true;
            ++startCount_;
            startTime_ = std::chrono::steady_clock::now();
        }
    }
    wake.notify_all();
    return kWaveNoError;
}

uint32_t WaveStream::stop()
{
    {
        std::lock_guard lock(mutex);
        started_ = false;
        if (input && !queue_.empty() && offset_ > 0)
            finishFrontLocked(offset_);
    }
    wake.notify_all();
    return kWaveNoError;
}

uint32_t WaveStream::reset()
{
    {
        std::lock_guard lock(mutex);
        started_ = false;
        while (!queue_.empty())
            finishFrontLocked(input ? offset_ : 0);
        position_ = 0;
    }
    wake.notify_all();
    return kWaveNoError;
}

uint32_t WaveStream::position(uint32_t* bytes)
{
    if (!bytes)
        return kWaveInvalidParam;
    std::lock_guard lock(mutex);
    *bytes = position_;
    return kWaveNoError;
}

bool WaveStream::hasQueued()
{
    std::lock_guard lock(mutex);
    return !queue_.empty();
}

size_t WaveStream::capture(const uint8_t* data, size_t count, size_t* noBuffer)
{
    std::lock_guard lock(mutex);
    if (noBuffer)
        *noBuffer = 0;
    if (!started_ || quit_)
        return 0;
    size_t kept = 0;
    while (count > 0 && !queue_.empty()) {
        WaveHeader* h = queue_.front();
        const size_t n = std::min<size_t>(count, h->bufferLength - offset_);
        std::memcpy(h->data + offset_, data, n);
        data += n;
        count -= n;
        kept += n;
        advanceLocked(n);
    }
    if (noBuffer)
        *noBuffer = count;
    return kept;
}

size_t WaveStream::roomLocked() const
{
    size_t room = 0;
    for (const WaveHeader* h : queue_)
        room += h->bufferLength;
    return room - std::min<size_t>(room, offset_);
}

void WaveStream::advanceLocked(size_t n)
{
    if (queue_.empty())
        return;
    offset_ += static_cast<uint32_t>(n);
    position_ += static_cast<uint32_t>(n);  // wraps like the platform's 32-bit byte position
    WaveHeader* h = queue_.front();
    if (offset_ >= h->bufferLength)
        finishFrontLocked(h->bufferLength);
}

void WaveStream::finishFrontLocked(uint32_t bytes)
{
    WaveHeader* h = queue_.front();
    queue_.pop_front();
    offset_ = 0;
    if (input)
        h->bytesRecorded = bytes;
    h->flags = (h->flags & ~kWaveHdrInQueue) | kWaveHdrDone;
    done_.push_back(h);
    postLocked();
}

void WaveStream::postLocked()
{
    if (posted_)
        return;
    const uint32_t handle = id;
    const bool in = input;
    // Only the handle travels with the call: a stream closed meanwhile is simply not found.
    posted_ = PostToEventLoop([handle, in] {
        if (auto s = findStream(handle, in))
            s->deliverDone();
    });
}

void WaveStream::deliverDone()
{
    std::vector<WaveHeader*> list;
    {
        std::lock_guard lock(mutex);
        list.swap(done_);
        posted_ = false;
    }
    if (hasContext_ && !context_)
        return;
    const Done callback = onDone_;
    for (WaveHeader* h : list) {
        if (!findStream(id, input))  // closed by an earlier callback of this round
            return;
        if (callback)
            callback(id, h);
    }
}

}  // namespace platform::sound
