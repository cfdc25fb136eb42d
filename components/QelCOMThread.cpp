#include "QelCOMThread.h"
#include <algorithm>
#include <cstring>

using platform::TSerialPort;

TQelCOMThread::TQelCOMThread(platform::TSerialOpener opener) : opener_(std::move(opener))
{
    thread_ = std::thread([this] { Execute(); });
}

TQelCOMThread::~TQelCOMThread()
{
    {
        std::lock_guard lk(mutex_);
        terminate_ = true;
        wakeLocked();
    }
    thread_.join();
}

void TQelCOMThread::wakeLocked()
{
    wake_.notify_all();
    if (port_)
        port_->Wake();
}

std::string TQelCOMThread::PortName() const
{
    std::lock_guard lk(mutex_);
    return name_;
}

void TQelCOMThread::SetPortName(const std::string& name)
{
    std::lock_guard lk(mutex_);
    if (name == name_)
        return;
    name_ = name;
    if (port_)
        port_->Purge();
    reopen_ = true;
    wakeLocked();
}

uint32_t TQelCOMThread::PortRate() const
{
    std::lock_guard lk(mutex_);
    return settings_.BaudRate;
}

void TQelCOMThread::SetPortRate(uint32_t rate)
{
    std::lock_guard lk(mutex_);
    if (rate == settings_.BaudRate)
        return;
    settings_.BaudRate = rate;
    if (port_)
        port_->Purge();
    apply_ = true;
    wakeLocked();
}

uint32_t TQelCOMThread::PortDTR() const
{
    std::lock_guard lk(mutex_);
    return settings_.DtrControl;
}

void TQelCOMThread::SetPortDTR(uint32_t v)
{
    std::lock_guard lk(mutex_);
    if (v == settings_.DtrControl)
        return;
    settings_.DtrControl = v & 3;
    if (port_)
        port_->Purge();
    apply_ = true;
    wakeLocked();
}

uint32_t TQelCOMThread::PortRTS() const
{
    // The line itself: applying the settings raises it too, whatever the setter last did.
    std::lock_guard lk(mutex_);
    return port_ && port_->GetRTS() ? 1 : 0;
}

void TQelCOMThread::SetPortRTS(uint32_t v)
{
    std::lock_guard lk(mutex_);
    if (port_)
        port_->SetRTS(v == 1);
}

uint8_t TQelCOMThread::IdleCode() const
{
    std::lock_guard lk(mutex_);
    return idleCode_;
}

void TQelCOMThread::SetIdleCode(uint8_t b)
{
    std::lock_guard lk(mutex_);
    idleCode_ = b;
}

bool TQelCOMThread::SendIdleCode() const
{
    std::lock_guard lk(mutex_);
    return idle_;
}

void TQelCOMThread::SetSendIdleCode(bool on)
{
    std::lock_guard lk(mutex_);
    idle_ = on;
    wakeLocked();
}

void TQelCOMThread::SetOnOutBufSent(std::function<void(TQelCOMThread*, uint8_t*)> f)
{
    std::lock_guard lk(mutex_);
    onOutBufSent_ = std::move(f);
}

bool TQelCOMThread::PortOpen() const
{
    std::lock_guard lk(mutex_);
    return port_ != nullptr;
}

std::vector<uint32_t> TQelCOMThread::BlockFills() const
{
    std::lock_guard lk(mutex_);
    std::vector<uint32_t> fills;
    for (const Block& b : queue_)
        fills.push_back(b.fill);
    return fills;
}

void TQelCOMThread::QueueBytes(const uint8_t* buffer, int32_t n)
{
    if (!buffer || n <= 0)
        return;
    std::lock_guard lk(mutex_);
    while (n > 0) {
        if (queue_.empty() || queue_.back().fill == kBlockSize)
            queue_.emplace_back();
        Block& b = queue_.back();
        const uint32_t take = std::min<uint32_t>(static_cast<uint32_t>(n), kBlockSize - b.fill);
        std::memcpy(b.data + b.fill, buffer, take);
        b.fill += take;
        buffer += take;
        n -= static_cast<int32_t>(take);
    }
    if (!inFlight_)
        sendNextCharLocked();
    else if (port_)
        port_->Wake();  // a worker waiting for an idle byte to leave sends these at once
    wake_.notify_all();
}

int TQelCOMThread::SendNextChar()
{
    std::lock_guard lk(mutex_);
    const int r = sendNextCharLocked();
    wake_.notify_all();
    return r;
}

int TQelCOMThread::sendNextCharLocked()
{
    if (!port_)
        return 0;
    if (!queue_.empty() && queue_.front().read == queue_.front().fill && queue_.size() > 1)
        queue_.pop_front();
    if (!queue_.empty() && queue_.front().read < queue_.front().fill) {
        Block& b = queue_.front();
        // A port with no room keeps the byte queued; the worker tries again when the port has room.
        if (port_->TransmitChar(b.data[b.read]))
            ++b.read;
    } else if (idle_) {
        port_->TransmitChar(idleCode_);
    } else {
        return 1;
    }
    inFlight_ = true;
    return 0;
}

bool TQelCOMThread::queueDrainedLocked() const
{
    for (const Block& b : queue_)
        if (b.read < b.fill)
            return false;
    return true;
}

void TQelCOMThread::openLocked()
{
    reopen_ = false;
    if (port_) {
        port_->Purge();
        port_.reset();
    }
    inFlight_ = false;
    port_ = opener_(name_);
    if (!port_)
        return;
    // The port's own settings replace every earlier one; RTS is raised while the port is open.
    settings_ = port_->GetSettings();
    settings_.RtsControl = platform::kLineEnable;
    port_->SetSettings(settings_);
    apply_ = false;
    // Bytes queued while no port was open go out now.
    sendNextCharLocked();
}

void TQelCOMThread::Execute()
{
    std::unique_lock lk(mutex_);
    while (!terminate_) {
        if (reopen_) {
            openLocked();
            continue;
        }
        if (!port_) {
            wake_.wait(lk, [&] { return terminate_ || reopen_; });
            continue;
        }
        if (apply_) {
            port_->SetSettings(settings_);
            apply_ = false;
        }
        if (inFlight_) {
            // An idle byte goes only once the line is empty, so that the port never holds more than
            // one of them ahead of data queued meanwhile; queued data goes as fast as the port takes it.
            const bool idleNext = idle_ && queueDrainedLocked();
            // Only this thread replaces the port, so it stays valid while the lock is let go.
            TSerialPort* port = port_.get();
            lk.unlock();
            if (idleNext)
                port->WaitSent();
            else
                port->WaitEvent();
            lk.lock();
            if (terminate_ || reopen_)
                continue;
            inFlight_ = false;
            sendNextCharLocked();
            continue;
        }
        if (idle_) {
            sendNextCharLocked();
            continue;
        }
        wake_.wait(lk, [&] { return terminate_ || reopen_ || apply_ || inFlight_ || idle_; });
    }
    if (port_) {
        port_->Purge();
        port_.reset();
    }
}
