#pragma once
// Sound-card capture and playback: a ring of capture buffers kept queued on the input device and
// handed to the owner one by one, and a set of playback buffers the owner fills and writes.
// Buffers come back as events on the GUI thread.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sound/Wave.h"
#include "platform/sound/WaveIn.h"
#include "platform/sound/WaveOut.h"

enum TQelSysWaveOpenMode : uint8_t { swomNone, swomInput, swomOutput, swomBoth };

class TQelSysWave : public QObject {
public:
    // A capture buffer is full: its data and the bytes recorded. The data belongs to the device
    // again as soon as the handler returns.
    using TWaveInDataEvent = std::function<void(TQelSysWave* sender, uint8_t* lpData, uint32_t dataLength)>;
    // A playback buffer has been played; true plays the same buffer again.
    using TWaveOutDoneEvent = std::function<bool(TQelSysWave* sender, uint8_t* lpData)>;

    // Attempts at opening a device, and the pause after each failed one but the last.
    static constexpr int OpenAttempts = 11;
    static constexpr int OpenRetryPauseMs = 200;

    explicit TQelSysWave(QObject* owner = nullptr);
    ~TQelSysWave() override;
    TQelSysWave(const TQelSysWave&) = delete;
    TQelSysWave& operator=(const TQelSysWave&) = delete;

    uint16_t BitsPerSample() const { return bitsPerSample_; }
    uint16_t ChannelsNum() const { return channelsNum_; }
    uint32_t SamplesPerSec() const { return samplesPerSec_; }
    int32_t DeviceInID() const { return deviceInID_; }
    int32_t DeviceOutID() const { return deviceOutID_; }
    uint32_t InBufferSize() const { return inBufferSize_; }
    uint32_t InBuffersNum() const { return inBuffersNum_; }
    uint32_t OutBufferSize() const { return outBufferSize_; }
    uint32_t OutBuffersNum() const { return outBuffersNum_; }
    TQelSysWaveOpenMode OpenMode() const { return openMode_; }

    void SetBitsPerSample(uint16_t bits);      // 8 or 16, anything else ignored
    void SetChannelsNum(uint16_t channels);    // 1 or 2, anything else ignored
    void SetSamplesPerSec(uint32_t rate);
    void SetDeviceInID(int32_t id);            // -1 is the preferred device; clamped to the devices
    void SetDeviceOutID(int32_t id);
    void SetInBufferSize(uint32_t bytes);      // rounded up to a multiple of 4
    void SetInBuffersNum(uint32_t count);
    void SetOutBufferSize(uint32_t bytes);
    void SetOutBuffersNum(uint32_t count);
    void SetOpenMode(TQelSysWaveOpenMode mode);

    TWaveInDataEvent OnWaveInData;
    TWaveOutDoneEvent OnWaveOutDone;

    // Product names of the devices in device order, read once at construction.
    std::vector<std::string> InDeviceNames;
    std::vector<std::string> OutDeviceNames;

    // Opens the directions of OpenMode that are closed. 0 on success, when there was nothing to
    // open, or when refused because an open or close of this component is already under way
    // (a timer firing inside one); else the error code of the direction that failed, after the
    // error box.
    uint32_t Open();
    // Open with a single attempt and no error box, for an owner that retries and reports on its own.
    uint32_t TryOpen();
    // Closes the open directions of OpenMode once every queued buffer has come back. Events of
    // the application run meanwhile. Refused while an open or close is already under way.
    void Close();
    bool GetActive() const;

    // The first playback buffer not in use, or nullptr (output closed, or all in use).
    uint8_t* GetFreeOutBuffer();
    // Plays a buffer GetFreeOutBuffer gave, all OutBufferSize bytes; any other pointer does nothing.
    void WriteBuffer(uint8_t* data);

    // Recomputes the format record and, while active, closes and reopens with it.
    void FFormatUpdate();
    const platform::WaveFormat& Format() const { return format_; }

    // Capture buffers queued on the input device now.
    uint32_t InQueued() const { return inQueued_; }

    // The two device calls whose refusal the component must account for; tests put their own in
    // front of the platform's to make them fail.
    struct DeviceCalls {
        uint32_t (*AddBuffer)(platform::WaveInHandle, platform::WaveHeader*) = platform::waveInAddBuffer;
        uint32_t (*Write)(platform::WaveOutHandle, platform::WaveHeader*) = platform::waveOutWrite;
    };
    static void SetDeviceCalls(const DeviceCalls& calls);

private:
    // Bit 31 of an output header's user value: written to the device, not the owner's to fill.
    static constexpr uintptr_t InUseMark = uintptr_t(1) << 31;

    enum class Busy : uint8_t { Idle, Opening, Closing, InEvent };

    bool wantsInput() const { return openMode_ == swomInput || openMode_ == swomBoth; }
    bool wantsOutput() const { return openMode_ == swomOutput || openMode_ == swomBoth; }
    bool eitherOpen() const { return inHandle_ != 0 || outHandle_ != 0; }
    // Close, store through `store`, and reopen when a device was open; else just store.
    template <class Store>
    void Reopen(Store store);

    uint32_t OpenOutput();
    uint32_t OpenInput();
    void CloseInput();
    void CloseOutput();
    void Fail(uint32_t code, const std::string& text, const char* caption);

    void InDone(platform::WaveInHandle handle, platform::WaveHeader* header);
    void OutDone(platform::WaveOutHandle handle, platform::WaveHeader* header);

    uint16_t bitsPerSample_ = 8;
    uint16_t channelsNum_ = 1;
    uint32_t samplesPerSec_ = 11025;
    int32_t deviceInID_ = -1;
    int32_t deviceOutID_ = -1;
    uint32_t inBufferSize_ = 1024;
    uint32_t inBuffersNum_ = 0;
    uint32_t outBufferSize_ = 1024;
    uint32_t outBuffersNum_ = 0;
    TQelSysWaveOpenMode openMode_ = swomNone;

    // Cleared first thing when a direction closes: the buffer-done handlers then only release.
    platform::WaveInHandle inHandle_ = 0;
    platform::WaveOutHandle outHandle_ = 0;
    platform::WaveFormat format_;
    std::vector<platform::WaveHeader> inHeaders_;
    std::vector<std::vector<uint8_t>> inBuffers_;
    std::vector<platform::WaveHeader> outHeaders_;
    std::vector<std::vector<uint8_t>> outBuffers_;
    uint32_t inQueued_ = 0;  // only buffers the device accepted
    Busy busy_ = Busy::Idle;
    bool quiet_ = false;  // inside TryOpen
};
