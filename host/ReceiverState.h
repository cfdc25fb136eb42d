#pragma once
// The primary receiver as the host shows and serves it: its tuning and settings, and the values
// quenda's applets read by DDE ("ScanState", "SignalStrength", "Squelch", "Mute").
#include <QObject>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class ReceiverState : public QObject {
    Q_OBJECT
public:
    explicit ReceiverState(int32_t receiver, QObject* parent = nullptr);
    int32_t receiver() const { return receiver_; }
    std::string topic() const { return "Korvanta #" + std::to_string(receiver_); }

    // The DDE items served to the applets.
    static bool isItem(const std::string& item);
    // Every value the receiver has: the DDE items and "Frequency", "Mode", "Volume", "Attenuator",
    // "Power", "DataOutput".
    static bool isValue(const std::string& name);
    static const std::vector<std::string>& names();
    // A value's allowed range; setValue clamps into it.
    static std::pair<int32_t, int32_t> range(const std::string& name);

    std::optional<int32_t> value(const std::string& name) const;
    int32_t get(const std::string& name) const { return value(name).value_or(0); }
    // Sets a value (clamped to its range); false for an unknown name. Emits changed when it differs.
    bool setValue(const std::string& name, int32_t v);

signals:
    void changed(const QString& name, int value);

private:
    int32_t receiver_;
    std::map<std::string, int32_t> values_;
};
