#include "Sources.h"

#include "PlayedMark.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

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
        sound_ += got;
        if (got < want)  // the file shrank under us: treat as its end
            remaining_ = 0;
        if (remaining_ == 0)
            reachedEnd();
    }
    std::memset(dst + got, silence_, n - got);
    return n;
}

void FileSource::skip(uint64_t n)
{
    if (remaining_ == 0) {
        reachedEnd();
        return;
    }
    const uint64_t over = std::min(n, remaining_);
    in_.seekg(static_cast<std::streamoff>(over), std::ios::cur);
    remaining_ -= over;
    sound_ += over;
    if (!in_)  // a file that cannot be read on ends here, as a short read does
        remaining_ = 0;
    if (remaining_ == 0)
        reachedEnd();
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
    if (!ended_)
        sound_ += bytes;
    if (!ended_ && hook_.ended && hook_.ended(hook_.context)) {
        ended_ = true;
        if (!eofFile_.empty())
            makeMarkFile(eofFile_);
    }
    return n;
}

// The input goes on by what is asked of it, so it is read; after its end nothing is left to pass.
void HookSource::skip(uint64_t n)
{
    skipByReading(n, [this] { return ended_; });
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
    sound_ += got;
    if (!silenceAtEnd_)
        return got;
    std::memset(dst + got, silence_, n - got);
    return n;
}

void MemorySource::skip(uint64_t n)
{
    const size_t over = static_cast<size_t>(std::min<uint64_t>(n, bytes_.size() - pos_));
    pos_ += over;
    sound_ += over;
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

// Sound of the recording the program had no buffer for is gone, as on a card; the user is told,
// with the total lost, at the first loss and then at most every 5 s while more is lost, so that a
// recording decoded with holes does not pass for whole; and once more, with the total, when the
// input closes. Only the recording's own sound counts: the silence after its end is nobody's loss.
class LostSound {
public:
    explicit LostSound(uint32_t bytesPerSecond) : bytesPerSecond_(bytesPerSecond) {}

    void add(uint64_t bytes) { total_ += bytes; }

    // Says what was lost since the last line, unless that line is less than 5 s old.
    void tell()
    {
        if (total_ == told_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (told_ > 0 && now - last_ < std::chrono::seconds(5))
            return;
        told_ = total_;
        last_ = now;
        say("so far");
    }

    // The input has closed: the total, when anything was lost.
    void finish()
    {
        if (total_ > 0)
            say("in all");
    }

private:
    void say(const char* when) const
    {
        const double seconds = bytesPerSecond_ ? double(total_) / bytesPerSecond_ : 0.0;
        std::fprintf(stderr, "Sound input: %s s of the recording lost %s: the program held every buffer.\n",
                     platform::FixedText(seconds, 2).c_str(), when);
        std::fflush(stderr);
    }

    uint32_t bytesPerSecond_;
    uint64_t total_ = 0;
    uint64_t told_ = 0;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace

void PacedInput::runTimed(WaveStream& s)
{
    using clock = std::chrono::steady_clock;
    const double bytesPerSecond = double(s.format.avgBytesPerSec) * pacing_.factor;
    const uint32_t align = s.format.blockAlign;
    // The most one piece of a round reads or passes over: the input holds no more than this and
    // the program's own buffers, at any pace. Both are multiples of every block alignment.
    constexpr uint64_t kDeliverPiece = 1 << 16;
    constexpr uint64_t kPassPiece = 1 << 20;
    // The recording plays on from the first start, like a card's clock: while the capture is
    // stopped (held, paused) what it plays meanwhile goes by unheard, so a hold leaves its gap.
    PlayedMark mark;
    LostSound lost(s.format.avgBytesPerSec);
    bool running = false;
    clock::time_point base;
    uint64_t produced = 0;  // bytes since the first start
    std::vector<uint8_t> chunk;
    for (;;) {
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait_for(lock, std::chrono::milliseconds(2), [&] { return s.quitting(); });
            if (s.quitting())
                break;
            if (!running) {
                if (!s.started())
                    continue;
                running = true;
                base = s.startTime();
            }
        }
        const double elapsed = std::chrono::duration<double>(clock::now() - base).count();
        const uint64_t due = uint64_t(elapsed * bytesPerSecond) / align * align;
        // The time is the clock's, not this thread's: a round that comes late (a busy machine held
        // the thread up) settles everything due since the last one, as a card's transfer fills the
        // queued buffers whatever the program's threads do. What the queued buffers can take goes
        // into them, oldest first; the rest finds no buffer and is passed over: lost while the
        // capture runs, unheard while it is stopped.
        bool quit = false;
        while (produced < due && !quit) {
            bool capturing = false;
            size_t room = 0;
            {
                std::lock_guard lock(s.mutex);
                quit = s.quitting();
                capturing = s.started() && !quit;
                room = capturing ? s.roomLocked() : 0;
            }
            if (quit)
                break;
            const uint64_t left = due - produced;
            const uint64_t before = source_->soundBytes();
            if (room == 0) {
                const uint64_t n = std::min(left, kPassPiece);
                source_->skip(n);
                produced += n;
                if (capturing)
                    lost.add(source_->soundBytes() - before);
                continue;
            }
            const uint64_t n = std::max<uint64_t>(align, std::min<uint64_t>({left, room, kDeliverPiece}) / align * align);
            chunk.resize(static_cast<size_t>(n));
            const size_t got = source_->read(chunk.data(), chunk.size());
            produced += n;
            size_t noBuffer = 0;
            const size_t kept = s.capture(chunk.data(), got, &noBuffer);
            // The source's sound comes first in a piece, its silence after.
            const uint64_t sound = source_->soundBytes() - before;
            if (noBuffer > 0 && sound > kept)
                lost.add(std::min<uint64_t>(noBuffer, sound - kept));
        }
        if (quit)
            break;
        mark.played(produced, s.format.avgBytesPerSec);
        lost.tell();
    }
    lost.finish();
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
