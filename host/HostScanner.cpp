#include "HostScanner.h"

HostScanner::HostScanner(ReceiverState& state, int dwellMs, int timeoutMs, QObject* parent)
    : QObject(parent), state_(state), dwellMs_(dwellMs < 0 ? 0 : dwellMs), timeoutMs_(timeoutMs < 0 ? 0 : timeoutMs)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &HostScanner::expire);
    connect(&state_, &ReceiverState::changed, this, &HostScanner::onChanged);
}

void HostScanner::start()
{
    if (phase_ == Phase::Idle)
        scan();
}

void HostScanner::stop()
{
    timer_.stop();
    phase_ = Phase::Idle;
}

void HostScanner::scan()
{
    phase_ = Phase::Scanning;
    setting_ = true;
    state_.setValue("ScanState", 1);
    setting_ = false;
    timer_.start(dwellMs_);
}

void HostScanner::expire()
{
    timer_.stop();
    switch (phase_) {
    case Phase::Scanning:
        phase_ = Phase::Stopped;
        ++stops_;
        setting_ = true;
        state_.setValue("ScanState", 0);
        setting_ = false;
        timer_.start(timeoutMs_);
        break;
    case Phase::Stopped:
        ++timeouts_;
        emit timedOut();
        scan();
        break;
    case Phase::Idle:
        break;
    }
}

void HostScanner::onChanged(const QString& item, int value)
{
    if (setting_ || item != QLatin1String("ScanState"))
        return;
    // An applet (or the script) resumed the scan while stopped.
    if (phase_ == Phase::Stopped && value != 0) {
        timer_.stop();
        phase_ = Phase::Scanning;
        timer_.start(dwellMs_);
    }
}
