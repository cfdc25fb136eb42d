#include "WavPlayer.h"

#include <QTimer>
#include <algorithm>

namespace platform {

namespace {

constexpr int kBuffers = 4;
constexpr uint32_t kBufferMs = 100;

}  // namespace

WavPlayer::WavPlayer() = default;

WavPlayer::~WavPlayer() { close(); }

bool WavPlayer::open(const std::filesystem::path& file, std::string* error)
{
    close();
    WavInfo info;
    std::string why;
    if (!readWavInfo(file, &info, &why) || !info.pcm) {
        if (error)
            *error = why.empty() ? "\"" + file.string() + "\" is not 8 or 16-bit PCM." : why;
        return false;
    }
    info_ = info;
    file_ = file;
    open_ = true;
    stoppedAt_ = 0;
    return true;
}

void WavPlayer::close()
{
    stop();
    open_ = false;
    file_.clear();
    info_ = WavInfo();
    stoppedAt_ = 0;
}

uint32_t WavPlayer::lengthSamples() const
{
    return info_.format.blockAlign ? info_.dataSize / info_.format.blockAlign : 0;
}

uint32_t WavPlayer::position() const
{
    if (out_ == 0)
        return stoppedAt_;
    uint32_t bytes = 0;
    waveOutGetPosition(out_, &bytes);
    return std::min<uint64_t>(uint64_t(startSample_) + bytes / info_.format.blockAlign, lengthSamples());
}

bool WavPlayer::seek(uint32_t samples)
{
    if (!open_ || samples > lengthSamples())
        return false;
    stop();
    stoppedAt_ = samples;
    return true;
}

bool WavPlayer::play(std::string* error)
{
    if (!open_)
        return false;
    if (out_ != 0) {
        if (paused_)
            return resume();
        return true;
    }
    if (stoppedAt_ >= lengthSamples())
        stoppedAt_ = 0;
    startSample_ = stoppedAt_;
    nextByte_ = uint64_t(startSample_) * info_.format.blockAlign;
    context_ = std::make_unique<QObject>();
    const uint32_t rc = waveOutOpen(
        &out_, kWaveMapper, info_.format, [this](WaveOutHandle, WaveHeader* h) { bufferDone(h); }, context_.get());
    if (rc != kWaveNoError) {
        out_ = 0;
        context_.reset();
        if (error)
            *error = waveOutErrorText(rc);
        return false;
    }
    paused_ = false;
    in_.open(file_, std::ios::binary);
    const uint32_t bytes =
        std::max<uint32_t>(info_.format.blockAlign, info_.format.avgBytesPerSec * kBufferMs / 1000 /
                                                        info_.format.blockAlign * info_.format.blockAlign);
    buffers_.assign(kBuffers, std::vector<uint8_t>(bytes));
    headers_.assign(kBuffers, WaveHeader());
    queued_ = 0;
    for (int i = 0; i < kBuffers; ++i) {
        headers_[i].data = buffers_[i].data();
        headers_[i].bufferLength = bytes;
        waveOutPrepareHeader(out_, &headers_[i]);
        fill(&headers_[i]);
    }
    if (queued_ == 0) {
        // Nothing left to play: done at once, as a player reports it, from the event loop.
        QTimer::singleShot(0, context_.get(), [this] { bufferDone(nullptr); });
    }
    return true;
}

// Reads the next stretch of data into a buffer and writes it; a buffer past the end stays idle.
void WavPlayer::fill(WaveHeader* header)
{
    const uint64_t left = info_.dataSize - std::min<uint64_t>(nextByte_, info_.dataSize);
    if (left == 0)
        return;
    const uint32_t n = uint32_t(std::min<uint64_t>(left, buffers_[0].size()));
    in_.clear();
    in_.seekg(std::streamoff(info_.dataOffset + nextByte_));
    in_.read(reinterpret_cast<char*>(header->data), n);
    const uint32_t got = uint32_t(in_.gcount()) / info_.format.blockAlign * info_.format.blockAlign;
    if (got == 0) {
        nextByte_ = info_.dataSize;  // the file was cut short since it was opened
        return;
    }
    nextByte_ += got;
    header->bufferLength = got;
    if (waveOutWrite(out_, header) == kWaveNoError)
        ++queued_;
}

void WavPlayer::bufferDone(WaveHeader* header)
{
    if (out_ == 0)
        return;
    if (header) {
        --queued_;
        fill(header);
    }
    if (queued_ > 0)
        return;
    closeOutput();
    stoppedAt_ = lengthSamples();
    if (onComplete)
        onComplete();
}

void WavPlayer::pause()
{
    if (out_ != 0 && !paused_) {
        waveOutPause(out_);
        paused_ = true;
    }
}

bool WavPlayer::resume()
{
    if (out_ == 0)
        return play();
    if (paused_) {
        waveOutRestart(out_);
        paused_ = false;
    }
    return true;
}

void WavPlayer::stop()
{
    if (out_ == 0)
        return;
    stoppedAt_ = position();
    closeOutput();
}

void WavPlayer::closeOutput()
{
    const WaveOutHandle h = out_;
    out_ = 0;  // buffers returning during the reset are not written again
    waveOutReset(h);
    for (WaveHeader& header : headers_)
        waveOutUnprepareHeader(h, &header);
    waveOutClose(h);
    context_.reset();
    headers_.clear();
    buffers_.clear();
    in_.close();
    queued_ = 0;
    paused_ = false;
}

}  // namespace platform
