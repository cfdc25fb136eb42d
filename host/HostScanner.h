#pragma once
// The receiver's scanner as the applets see it through "ScanState": it scans for a while, stops on
// a channel (0) and waits for an applet to resume it (a poke of 1); without one it resumes by
// itself after the time-out. Then it scans again, and so on.
#include "ReceiverState.h"

#include <QObject>
#include <QTimer>

class HostScanner : public QObject {
    Q_OBJECT
public:
    // dwellMs: how long each scan lasts before the next stop; timeoutMs: how long a stop waits.
    HostScanner(ReceiverState& state, int dwellMs, int timeoutMs, QObject* parent = nullptr);

    // Begins scanning (ScanState 1).
    void start();
    void stop();
    bool scanning() const { return phase_ == Phase::Scanning; }
    bool waiting() const { return phase_ == Phase::Stopped; }
    int stops() const { return stops_; }
    int timeouts() const { return timeouts_; }
    // Ends the current dwell or wait at once, as its timer would.
    void expire();

signals:
    // A stop that no poke resumed in time.
    void timedOut();

private:
    enum class Phase { Idle, Scanning, Stopped };
    void scan();
    void onChanged(const QString& item, int value);

    ReceiverState& state_;
    int dwellMs_;
    int timeoutMs_;
    Phase phase_ = Phase::Idle;
    int stops_ = 0;
    int timeouts_ = 0;
    bool setting_ = false;  // our own change of ScanState, not a poke
    QTimer timer_;
};
