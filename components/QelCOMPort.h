#pragma once
// Transmit side of a serial port: open by name, rate, DTR control, RTS, an idle byte sent while
// nothing else is, and a queue of bytes to send. A worker thread owns the port; failures stay silent.
#include "QelCOMThread.h"
#include <memory>

class TQelCOMPort {
public:
    explicit TQelCOMPort(platform::TSerialOpener opener = platform::OpenSerialPort);
    ~TQelCOMPort();

    std::string COMPortName() const { return thread_->PortName(); }
    void SetCOMPortName(const std::string& name) { thread_->SetPortName(name); }
    uint32_t DTR() const { return thread_->PortDTR(); }
    void SetDTR(uint32_t v) { thread_->SetPortDTR(v); }
    uint8_t IdleCode() const { return thread_->IdleCode(); }
    void SetIdleCode(uint8_t b) { thread_->SetIdleCode(b); }
    uint32_t Rate() const { return thread_->PortRate(); }
    void SetRate(uint32_t r) { thread_->SetPortRate(r); }
    uint32_t RTS() const { return thread_->PortRTS(); }
    void SetRTS(uint32_t v) { thread_->SetPortRTS(v); }
    bool SendIdleCode() const { return thread_->SendIdleCode(); }
    void SetSendIdleCode(bool on) { thread_->SetSendIdleCode(on); }
    void SetOnOutBufSent(std::function<void(TQelCOMThread* sender, uint8_t* outBuf)> f)
    {
        thread_->SetOnOutBufSent(std::move(f));
    }

    void SendBuffer(const uint8_t* buffer, int32_t n) { thread_->QueueBytes(buffer, n); }

    TQelCOMThread& Thread() { return *thread_; }

private:
    std::unique_ptr<TQelCOMThread> thread_;
};
