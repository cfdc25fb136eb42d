#include "QelSysWave.h"

#include <algorithm>
#include <new>

#include "platform/ui/Application.h"
#include "platform/clock/Clock.h"
#include "platform/ui/MessageBox.h"

using namespace platform;

namespace {

TQelSysWave::DeviceCalls& deviceCalls()
{
    static TQelSysWave::DeviceCalls calls;
    return calls;
}

// Clamps a device number to the devices present: at or beyond the count it becomes the last one
// (-1, the preferred device, when there is none).
int32_t clampDevice(int32_t id, uint32_t count)
{
    const int64_t n = count;
    return int64_t(id) >= n ? int32_t(n - 1) : id;
}

// A busy device is tried again after a pause; the result of the last attempt.
template <class OpenOnce>
uint32_t Attempts(int attempts, OpenOnce open)
{
    uint32_t rc = 0;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        rc = open();
        if (rc == 0)
            break;
        if (attempt < attempts)
            platform::clock().sleepMs(TQelSysWave::OpenRetryPauseMs);
    }
    return rc;
}

uint32_t roundUp4(uint32_t n) { return (n + 3u) & ~3u; }

// Marks the nesting state for the life of the object and restores the one before.
template <class T>
class StateScope {
public:
    StateScope(T& state, T now) : state_(state), saved_(state) { state_ = now; }
    ~StateScope() { state_ = saved_; }
    StateScope(const StateScope&) = delete;
    StateScope& operator=(const StateScope&) = delete;

private:
    T& state_;
    T saved_;
};

}  // namespace

void TQelSysWave::SetDeviceCalls(const DeviceCalls& calls) { deviceCalls() = calls; }

TQelSysWave::TQelSysWave(QObject* owner) : QObject(owner)
{
    InDeviceNames = waveInDeviceNames();
    OutDeviceNames = waveOutDeviceNames();
    FFormatUpdate();
}

TQelSysWave::~TQelSysWave()
{
    // Buffers still coming back during the close must not reach an owner that is going away.
    OnWaveInData = nullptr;
    OnWaveOutDone = nullptr;
    busy_ = Busy::Idle;
    Close();
}

// --- properties ---

void TQelSysWave::SetBitsPerSample(uint16_t bits)
{
    if ((bits != 8 && bits != 16) || bits == bitsPerSample_)
        return;
    bitsPerSample_ = bits;
    FFormatUpdate();
}

void TQelSysWave::SetChannelsNum(uint16_t channels)
{
    if ((channels != 1 && channels != 2) || channels == channelsNum_)
        return;
    channelsNum_ = channels;
    FFormatUpdate();
}

void TQelSysWave::SetSamplesPerSec(uint32_t rate)
{
    if (rate == samplesPerSec_)
        return;
    samplesPerSec_ = rate;
    FFormatUpdate();
}

void TQelSysWave::SetInBufferSize(uint32_t bytes)
{
    bytes = roundUp4(bytes);
    if (bytes == inBufferSize_)
        return;
    inBufferSize_ = bytes;
    FFormatUpdate();
}

void TQelSysWave::SetOutBufferSize(uint32_t bytes)
{
    bytes = roundUp4(bytes);
    if (bytes == outBufferSize_)
        return;
    outBufferSize_ = bytes;
    FFormatUpdate();
}

// The buffers of a direction are released by its close whatever the stored count, so a new count
// is stored and the format update closes and reopens.
void TQelSysWave::SetInBuffersNum(uint32_t count)
{
    if (count == inBuffersNum_)
        return;
    inBuffersNum_ = count;
    FFormatUpdate();
}

void TQelSysWave::SetOutBuffersNum(uint32_t count)
{
    if (count == outBuffersNum_)
        return;
    outBuffersNum_ = count;
    FFormatUpdate();
}

template <class Store>
void TQelSysWave::Reopen(Store store)
{
    if (eitherOpen()) {
        Close();
        store();
        Open();
    } else {
        store();
    }
}

void TQelSysWave::SetDeviceInID(int32_t id)
{
    id = clampDevice(id, uint32_t(InDeviceNames.size()));
    if (id != deviceInID_)
        Reopen([&] { deviceInID_ = id; });
}

void TQelSysWave::SetDeviceOutID(int32_t id)
{
    id = clampDevice(id, uint32_t(OutDeviceNames.size()));
    if (id != deviceOutID_)
        Reopen([&] { deviceOutID_ = id; });
}

void TQelSysWave::SetOpenMode(TQelSysWaveOpenMode mode)
{
    if (mode > swomBoth || mode == openMode_)
        return;
    Reopen([&] { openMode_ = mode; });  // the close still works on the old mode
}

void TQelSysWave::FFormatUpdate()
{
    format_.formatTag = kWaveFormatPcm;
    format_.channels = channelsNum_;
    format_.samplesPerSec = samplesPerSec_;
    format_.bitsPerSample = bitsPerSample_;
    format_.blockAlign = uint16_t(bitsPerSample_ * channelsNum_ / 8);
    format_.avgBytesPerSec = uint32_t(format_.blockAlign) * samplesPerSec_;
    if (GetActive()) {
        Close();
        Open();
    }
}

bool TQelSysWave::GetActive() const
{
    return (wantsInput() && inHandle_ != 0) || (wantsOutput() && outHandle_ != 0);
}

// --- open ---

void TQelSysWave::Fail(uint32_t code, const std::string& text, const char* caption)
{
    if (quiet_)
        return;
    MessageBox::Show(text.empty() ? "Error " + std::to_string(code) : text, caption, MB_ICONERROR);
}

uint32_t TQelSysWave::Open()
{
    // A timer of the owner firing inside our own open, close or event must not start another one.
    if (busy_ != Busy::Idle)
        return 0;
    StateScope scope(busy_, Busy::Opening);
    if (wantsOutput() && outHandle_ == 0) {
        if (const uint32_t rc = OpenOutput())
            return rc;
    }
    if (wantsInput() && inHandle_ == 0) {
        if (const uint32_t rc = OpenInput())
            return rc;
    }
    return 0;
}

uint32_t TQelSysWave::TryOpen()
{
    StateScope quiet(quiet_, true);
    return Open();
}

uint32_t TQelSysWave::OpenOutput()
{
    auto done = [this](WaveOutHandle h, WaveHeader* hdr) { OutDone(h, hdr); };
    const uint32_t rc = Attempts(quiet_ ? 1 : OpenAttempts, [&] { return waveOutOpen(&outHandle_, uint32_t(deviceOutID_), format_, done, this); });
    if (rc != 0) {
        const std::string text = waveOutErrorText(rc);
        outHandle_ = 0;
        Fail(rc, text, "Wave Out Error!");
        return rc;
    }
    try {
        outHeaders_.assign(outBuffersNum_, WaveHeader{});
        outBuffers_.assign(outBuffersNum_, std::vector<uint8_t>(outBufferSize_, 0));
    } catch (const std::bad_alloc&) {
        outHeaders_.clear();
        outBuffers_.clear();
        const WaveOutHandle h = outHandle_;
        outHandle_ = 0;
        waveOutClose(h);
        Fail(kWaveNoMemory, waveOutErrorText(kWaveNoMemory), "Wave Out Error!");
        return kWaveNoMemory;
    }
    for (uint32_t j = 0; j < outBuffersNum_; ++j) {
        WaveHeader& h = outHeaders_[j];
        h.data = outBuffers_[j].data();
        h.bufferLength = outBufferSize_;
        h.user = j;
        waveOutPrepareHeader(outHandle_, &h);
    }
    return 0;
}

uint32_t TQelSysWave::OpenInput()
{
    auto done = [this](WaveInHandle h, WaveHeader* hdr) { InDone(h, hdr); };
    const uint32_t rc = Attempts(quiet_ ? 1 : OpenAttempts, [&] { return waveInOpen(&inHandle_, uint32_t(deviceInID_), format_, done, this); });
    if (rc != 0) {
        const std::string text = waveInErrorText(rc);
        inHandle_ = 0;
        Fail(rc, text, "Wave In Error!");
        return rc;
    }
    waveInStart(inHandle_);
    try {
        inHeaders_.assign(inBuffersNum_, WaveHeader{});
        inBuffers_.assign(inBuffersNum_, std::vector<uint8_t>(inBufferSize_, 0));
    } catch (const std::bad_alloc&) {
        inHeaders_.clear();
        inBuffers_.clear();
        const WaveInHandle h = inHandle_;
        inHandle_ = 0;
        waveInReset(h);
        waveInClose(h);
        Fail(kWaveNoMemory, waveInErrorText(kWaveNoMemory), "Wave In Error!");
        return kWaveNoMemory;
    }
    for (uint32_t j = 0; j < inBuffersNum_; ++j) {
        WaveHeader& h = inHeaders_[j];
        h.data = inBuffers_[j].data();
        h.bufferLength = inBufferSize_;
        if (waveInPrepareHeader(inHandle_, &h) != 0)
            continue;  // left out of the ring
        if (deviceCalls().AddBuffer(inHandle_, &h) == 0)
            ++inQueued_;
        else
            waveInUnprepareHeader(inHandle_, &h);  // refused: it will never come back
    }
    return 0;
}

// --- close ---

void TQelSysWave::Close()
{
    if (busy_ != Busy::Idle)
        return;
    StateScope scope(busy_, Busy::Closing);
    if (wantsInput() && inHandle_ != 0)
        CloseInput();
    if (wantsOutput() && outHandle_ != 0)
        CloseOutput();
}

void TQelSysWave::CloseInput()
{
    const WaveInHandle h = inHandle_;
    inHandle_ = 0;
    waveInReset(h);
    while (inQueued_ > 0)
        processMessages();
    waveInClose(h);
    inHeaders_.clear();
    inBuffers_.clear();
}

void TQelSysWave::CloseOutput()
{
    const WaveOutHandle h = outHandle_;
    outHandle_ = 0;
    waveOutReset(h);
    auto inUse = [this] {
        return std::any_of(outHeaders_.begin(), outHeaders_.end(),
                           [](const WaveHeader& hdr) { return (hdr.user & InUseMark) != 0; });
    };
    while (inUse())
        processMessages();
    // Buffers never written, or back before the close, are still prepared.
    for (WaveHeader& hdr : outHeaders_)
        if (hdr.flags & kWaveHdrPrepared)
            waveOutUnprepareHeader(h, &hdr);
    waveOutClose(h);
    outHeaders_.clear();
    outBuffers_.clear();
}

// --- buffers coming back ---

void TQelSysWave::InDone(WaveInHandle handle, WaveHeader* header)
{
    if (inQueued_ > 0)
        --inQueued_;
    if (OnWaveInData && inHandle_ != 0) {
        StateScope scope(busy_, Busy::InEvent);
        OnWaveInData(this, header->data, header->bytesRecorded);
    }
    if (inHandle_ == 0) {
        waveInUnprepareHeader(handle, header);
    } else if (deviceCalls().AddBuffer(handle, header) == 0) {
        ++inQueued_;
    } else {
        waveInUnprepareHeader(handle, header);  // lost from the ring, not waited for
    }
}

void TQelSysWave::OutDone(WaveOutHandle handle, WaveHeader* header)
{
    bool again = false;
    if (OnWaveOutDone && outHandle_ != 0) {
        StateScope scope(busy_, Busy::InEvent);
        again = OnWaveOutDone(this, header->data);
    }
    // A buffer the device refuses is not playing, so it is the owner's again.
    if (again && deviceCalls().Write(handle, header) == 0)
        return;
    header->user &= ~InUseMark;
    if (outHandle_ == 0)
        waveOutUnprepareHeader(handle, header);
}

// --- playback buffers ---

uint8_t* TQelSysWave::GetFreeOutBuffer()
{
    if (outHandle_ == 0)
        return nullptr;
    for (WaveHeader& h : outHeaders_)
        if ((h.user & InUseMark) == 0)
            return h.data;
    return nullptr;
}

void TQelSysWave::WriteBuffer(uint8_t* data)
{
    if (outHandle_ == 0 || data == nullptr)
        return;
    for (WaveHeader& h : outHeaders_) {
        if (h.data != data)
            continue;
        if (h.user & InUseMark)
            return;  // already playing
        h.user |= InUseMark;
        if (deviceCalls().Write(outHandle_, &h) != 0)
            h.user &= ~InUseMark;
        return;
    }
}
