#include "FakeSerialPort.h"
#include <algorithm>

namespace platform {

namespace {

class FakeSerialPort : public TSerialPort {
public:
    FakeSerialPort(std::shared_ptr<TFakeSerialLog> log) : log_(std::move(log)), settings_(log_->Initial)
    {
        log_->Dtr = settings_.DtrControl != kLineDisable;
        log_->Rts = settings_.RtsControl == kLineEnable;
    }
    ~FakeSerialPort() override { record([&] { ++log_->Closed; }); }

    TSerialSettings GetSettings() override
    {
        std::lock_guard lk(log_->Mutex);
        return settings_;
    }
    void SetSettings(const TSerialSettings& s) override
    {
        record([&] {
            settings_ = s;
            log_->Written.push_back(s);
            log_->Dtr = s.DtrControl != kLineDisable;
            if (s.RtsControl != kLineHandshake)
                log_->Rts = s.RtsControl != kLineDisable;
        });
    }
    void Purge() override { record([&] { ++log_->Purges; }); }
    void SetRTS(bool on) override
    {
        record([&] {
            log_->RtsCalls.push_back(on);
            log_->Rts = on;
        });
    }
    bool GetRTS() override
    {
        std::lock_guard lk(log_->Mutex);
        return log_->Rts;
    }
    bool TransmitChar(uint8_t b) override
    {
        bool sent = false;
        record([&] {
            if (log_->Room == 0)
                return;
            if (log_->Room > 0)
                --log_->Room;
            log_->Sent.push_back(b);
            sent = true;
        });
        return sent;
    }
    void WaitEvent() override { wait(log_->Waits); }
    // The fake's line is empty as soon as it has room: the bytes it took are sent.
    void WaitSent() override { wait(log_->SentWaits); }
    void Wake() override { record([&] { woken_ = true; }); }

private:
    void wait(int& count)
    {
        std::unique_lock lk(log_->Mutex);
        log_->Changed.wait(lk, [&] { return woken_ || log_->Room != 0; });
        woken_ = false;
        ++count;
        log_->Changed.notify_all();
    }
    template <typename F>
    void record(F f)
    {
        {
            std::lock_guard lk(log_->Mutex);
            f();
        }
        log_->Changed.notify_all();
    }

    std::shared_ptr<TFakeSerialLog> log_;
    TSerialSettings settings_;
    bool woken_ = false;  // guarded by the log's mutex
};

}  // namespace

void TFakeSerialLog::AddRoom(long n)
{
    {
        std::lock_guard lk(Mutex);
        Room = Room < 0 ? n : Room + n;
    }
    Changed.notify_all();
}

TSerialOpener FakeSerialOpener(std::shared_ptr<TFakeSerialLog> log)
{
    return [log](const std::string& name) -> std::unique_ptr<TSerialPort> {
        std::unique_ptr<TSerialPort> port;
        {
            std::lock_guard lk(log->Mutex);
            log->Opened.push_back(name);
            if (std::find(log->Refused.begin(), log->Refused.end(), name) == log->Refused.end())
                port = std::make_unique<FakeSerialPort>(log);
        }
        log->Changed.notify_all();
        return port;
    };
}

}  // namespace platform
