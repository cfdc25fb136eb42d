#pragma once
// Helpers of the wave tests: canonical WAV bytes, an event pump with a deadline, and a capture
// that keeps its buffers queued and collects what comes back.
#include "WaveIn.h"

#include <QCoreApplication>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace wavetest {

inline void put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void putId(std::vector<uint8_t>& b, const char* id) { b.insert(b.end(), id, id + 4); }

// A canonical 44-byte-header PCM WAV file holding data.
inline std::vector<uint8_t> wavBytes(const platform::WaveFormat& f, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> b;
    putId(b, "RIFF");
    put32(b, static_cast<uint32_t>(36 + data.size()));
    putId(b, "WAVE");
    putId(b, "fmt ");
    put32(b, 16);
    put16(b, f.formatTag);
    put16(b, f.channels);
    put32(b, f.samplesPerSec);
    put32(b, f.avgBytesPerSec);
    put16(b, f.blockAlign);
    put16(b, f.bitsPerSample);
    putId(b, "data");
    put32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// Frame index i of a 16-bit mono ramp, as little-endian bytes: every sample tells its position.
inline std::vector<uint8_t> ramp16(size_t frames)
{
    std::vector<uint8_t> b;
    for (size_t i = 0; i < frames; ++i)
        put16(b, static_cast<uint16_t>(i));
    return b;
}

inline uint16_t sampleAt(const std::vector<uint8_t>& b, size_t i) { return static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)); }

// Runs the event loop until pred holds or ms have passed; returns pred.
template <class Pred>
bool pumpUntil(Pred pred, int ms = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return true;
}

inline void pumpFor(int ms)
{
    pumpUntil([] { return false; }, ms);
}

// An open input with `count` buffers of `length` bytes; each buffer that comes back is
// appended to `bytes` and, while requeue is set, queued again from inside the event.
class Capture {
public:
    Capture(uint32_t count, uint32_t length) : storage_(count, std::vector<uint8_t>(length)), headers(count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            headers[i].data = storage_[i].data();
            headers[i].bufferLength = length;
            headers[i].user = i;
        }
    }
    ~Capture()
    {
        if (handle) {
            platform::waveInReset(handle);
            platform::waveInClose(handle);
        }
    }

    uint32_t open(const platform::WaveFormat& f, uint32_t device = platform::kWaveMapper)
    {
        return platform::waveInOpen(&handle, device, f, [this](platform::WaveInHandle h, platform::WaveHeader* hdr) {
            EXPECT_EQ(h, handle);
            EXPECT_TRUE(hdr->flags & platform::kWaveHdrDone);
            EXPECT_FALSE(hdr->flags & platform::kWaveHdrInQueue);
            order.push_back(static_cast<uint32_t>(hdr->user));
            lengths.push_back(hdr->bytesRecorded);
            bytes.insert(bytes.end(), hdr->data, hdr->data + hdr->bytesRecorded);
            if (requeue) {
                EXPECT_EQ(platform::waveInAddBuffer(handle, hdr), platform::kWaveNoError);
            }
        });
    }
    void queueAll()
    {
        for (auto& h : headers) {
            ASSERT_EQ(platform::waveInPrepareHeader(handle, &h), platform::kWaveNoError);
            ASSERT_EQ(platform::waveInAddBuffer(handle, &h), platform::kWaveNoError);
        }
    }
    uint32_t position()
    {
        uint32_t p = 0;
        EXPECT_EQ(platform::waveInGetPosition(handle, &p), platform::kWaveNoError);
        return p;
    }

    platform::WaveInHandle handle = 0;
    bool requeue = true;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> lengths;
    std::vector<uint32_t> order;

private:
    std::vector<std::vector<uint8_t>> storage_;

public:
    std::vector<platform::WaveHeader> headers;
};

}  // namespace wavetest
