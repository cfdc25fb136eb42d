#pragma once
// The host's own receiver, driven through the receiver-control library like every other: opened
// first, so that a plug-in asking the library for a receiver gets the next free one; every change
// of the receiver's state is passed on to it.
#include "ReceiverState.h"

#include <QObject>

class PrimaryReceiver : public QObject {
    Q_OBJECT
public:
    explicit PrimaryReceiver(ReceiverState& state, QObject* parent = nullptr);
    ~PrimaryReceiver() override;

    // Opens the lowest free receiver and gives it the state's settings; false when none is left.
    bool open();
    void close();
    // The library's number of the receiver, 0 while none is open.
    int32_t number() const { return number_; }

private:
    void apply(const QString& name, int value);

    ReceiverState& state_;
    int32_t number_ = 0;
};
