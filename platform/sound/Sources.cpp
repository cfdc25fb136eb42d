#include "Sources.h"

#include "PlayedMark.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace platform::sound {

FileSource::FileSource(const std::filesystem::path& file, uint64_t offset, uint32_t size, uint8_t silence,
                       std::filesystem::path eofFile)
    : in_(file, std::ios::binary), remaining_(size), silence_(silence), eofFile_(std::move(eofFile))
{
    in_.seekg(static_cast<std::streamoff>(offset));
    ok_ = bool(in_);
}

size_t FileSource::read(uint8_t* dst, size_t n)
{
    size_t got = 0;
    if (remaining_ == 0)  // a file with no samples at all ends at its first read
        reachedEnd();
    if (remaining_ > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(n, remaining_));
        in_.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(want));
        got = static_cast<size_t>(in_.gcount());
        remaining_ -= got;
        if (got < want)  // the file shrank under us: treat as its end
            remaining_ = 0;
        if (remaining_ == 0)
            reachedEnd();
    }
    std::memset(dst + got, silence_, n - got);
    return n;
}

void FileSource::reachedEnd()
{
    if (ended_)
        return;
    ended_ = true;
    if (!eofFile_.empty())
        makeMarkFile(eofFile_);
}

HookSource::HookSource(const KorvantaInputHook& hook, const WaveFormat& format, std::filesystem::path eofFile)
    : hook_(hook), format_(format), eofFile_(std::move(eofFile))
{
    if (hook_.open)
        held_ = hook_.open(hook_.context) != 0;
}

HookSource::~HookSource()
{
    if (held_ && hook_.open && hook_.close)
        hook_.close(hook_.context);
}

size_t HookSource::read(uint8_t* dst, size_t n)
{
    const size_t frames = n / format_.blockAlign;
    frames_.resize(frames * format_.channels);
    hook_.read(hook_.context, format_.samplesPerSec, format_.channels, frames_.data(), frames);
    // The format is chosen once a buffer: bytes written through dst could alias it.
    const int16_t* in = frames_.data();
    const size_t count = frames_.size();
    if (format_.bitsPerSample == 8) {
        for (size_t i = 0; i < count; ++i) {
            const int v = (int(in[i]) + 32768 + 128) >> 8;  // the top byte, rounded
            dst[i] = uint8_t(std::min(v, 255));
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            const uint16_t u = uint16_t(in[i]);
            dst[2 * i] = uint8_t(u & 0xFF);
            dst[2 * i + 1] = uint8_t(u >> 8);
        }
    }
    const size_t bytes = frames * format_.blockAlign;
    std::memset(dst + bytes, silenceByte(format_), n - bytes);
    if (!ended_ && hook_.ended && hook_.ended(hook_.context)) {
        ended_ = true;
        if (!eofFile_.empty())
            makeMarkFile(eofFile_);
    }
    return n;
}

const KorvantaInputHook* programInputHook()
{
    // Looked up each time, so a program may take its input away and give it back.
    auto fn = reinterpret_cast<KorvantaInputHookFn>(::dlsym(RTLD_DEFAULT, KORVANTA_INPUT_HOOK_NAME));
    return fn ? fn() : nullptr;
}

MemorySource::MemorySource(std::vector<uint8_t> bytes, bool silenceAtEnd, uint8_t silence)
    : bytes_(std::move(bytes)), silenceAtEnd_(silenceAtEnd), silence_(silence)
{
}

size_t MemorySource::read(uint8_t* dst, size_t n)
{
    const size_t got = std::min(n, bytes_.size() - pos_);
    if (got > 0)
        std::memcpy(dst, bytes_.data() + pos_, got);
    pos_ += got;
    if (!silenceAtEnd_)
        return got;
    std::memset(dst + got, silence_, n - got);
    return n;
}

Pacing pacingFromEnv()
{
    Pacing p;
    const char* v = std::getenv("WAVE_IN_PACE");
    if (!v || !*v)
        return p;
    if (std::string(v) == "fast") {
        p.fast = true;
        return p;
    }
    if (const auto f = platform::ParseNumber(v); f && *f > 0 && *f < 1e6)
        p.factor = *f;
    return p;
}

PacedInput::PacedInput(std::unique_ptr<SampleSource> source, Pacing pacing)
    : source_(std::move(source)), pacing_(pacing)
{
}

void PacedInput::run(WaveStream& stream)
{
    if (pacing_.fast)
        runFast(stream);
    else
        runTimed(stream);
}

void PacedInput::runFast(WaveStream& s)
{
    PlayedMark mark;
    uint64_t played = 0;
    bool ended = false;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.quitting() || (s.started() && !s.queueEmpty() && !ended); });
        if (s.quitting())
            return;
        // Read straight into the front buffer under the lock, so a stop or reset can never
        // come between reading samples and placing them: nothing is lost.
        WaveHeader* h = s.front();
        const size_t room = h->bufferLength - s.frontOffset();
        const size_t got = source_->read(h->data + s.frontOffset(), room);
        if (got < room)
            ended = true;
        if (got > 0)
            s.advanceLocked(got);
        played += got;
        mark.played(played, s.format.avgBytesPerSec);
    }
}

namespace {

// Sound the program had no buffer for is gone, as on a card; the user is told, with the total lost,
// at the first loss and then at most every 5 s, so that a recording decoded with holes does not pass
// for whole.
class LostSound {
public:
    void add(size_t bytes, uint32_t bytesPerSecond)
    {
        total_ += bytes;
        const auto now = std::chrono::steady_clock::now();
        if (told_ && now - last_ < std::chrono::seconds(5))
            return;
        told_ = true;
        last_ = now;
        std::fprintf(stderr, "Sound input: %s s of the recording lost so far: the program held every buffer.\n",
                     platform::FixedText(bytesPerSecond ? double(total_) / bytesPerSecond : 0.0, 2).c_str());
        std::fflush(stderr);
    }

private:
    uint64_t total_ = 0;
    bool told_ = false;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace

void PacedInput::runTimed(WaveStream& s)
{
    using clock = std::chrono::steady_clock;
    const double bytesPerSecond = double(s.format.avgBytesPerSec) * pacing_.factor;
    const uint32_t align = s.format.blockAlign;
    // The recording plays on from the first start, like a card's clock: while the capture is
    // stopped (held, paused) what it plays meanwhile goes by unheard, so a hold leaves its gap.
    PlayedMark mark;
    LostSound lost;
    bool running = false;
    clock::time_point base;
    uint64_t produced = 0;  // bytes since the first start
    std::vector<uint8_t> chunk;
    auto discard = [&](uint64_t skip) {
        while (skip > 0) {
            chunk.resize(static_cast<size_t>(std::min<uint64_t>(skip, 1 << 16)));
            source_->read(chunk.data(), chunk.size());
            skip -= chunk.size();
        }
    };
    for (;;) {
        bool started = false;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait_for(lock, std::chrono::milliseconds(2), [&] { return s.quitting(); });
            if (s.quitting())
                return;
            started = s.started();
            if (!running) {
                if (!started)
                    continue;
                running = true;
                base = s.startTime();
            }
        }
        const double elapsed = std::chrono::duration<double>(clock::now() - base).count();
        const uint64_t due = uint64_t(elapsed * bytesPerSecond) / align * align;
        if (due <= produced)
            continue;
        if (!started) {
            discard(due - produced);
            produced = due;
            continue;
        }
        // The time is the clock's, not this thread's: a round that comes late (a busy machine held
        // the thread up) delivers everything due since the last one, as a card's transfer fills the
        // queued buffers whatever the program's threads do. Only what finds no buffer is lost.
        // At most a second's worth at once; the next round catches up.
        const uint64_t n = std::min<uint64_t>(due - produced, uint64_t(bytesPerSecond) / align * align + align);
        chunk.resize(static_cast<size_t>(n));
        const size_t got = source_->read(chunk.data(), chunk.size());
        produced += n;
        mark.played(produced, s.format.avgBytesPerSec);
        size_t noBuffer = 0;
        s.capture(chunk.data(), got, &noBuffer);  // what finds no queued buffer is lost, as on a card
        if (noBuffer > 0)
            lost.add(noBuffer, s.format.avgBytesPerSec);
    }
}

void InstantOutput::run(WaveStream& s)
{
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.quitting() || (s.started() && !s.queueEmpty()); });
        if (s.quitting())
            return;
        s.advanceLocked(s.front()->bufferLength - s.frontOffset());
    }
}

}  // namespace platform::sound
