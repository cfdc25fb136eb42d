#pragma once
// The primary receiver as the host shows and serves it: the values quenda's applets read by DDE.
#include <QObject>

#include <cstdint>
#include <optional>
#include <string>

class ReceiverState : public QObject {
    Q_OBJECT
public:
    explicit ReceiverState(int32_t receiver, QObject* parent = nullptr) : QObject(parent), receiver_(receiver) {}
    int32_t receiver() const { return receiver_; }
    std::string topic() const { return "Korvanta #" + std::to_string(receiver_); }

    // The served items; an unknown item has no value.
    static bool isItem(const std::string& item);
    std::optional<int32_t> value(const std::string& item) const;
    // Sets an item's value; returns false for an unknown item. Emits changed when the value differs.
    bool setValue(const std::string& item, int32_t v);

signals:
    void changed(const QString& item, int value);

private:
    int32_t receiver_;
    int32_t scanState_ = 0;
    int32_t signalStrength_ = 0;
    int32_t squelch_ = 0;
    int32_t mute_ = 0;
};
