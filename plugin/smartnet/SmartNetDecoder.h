#pragma once
// Interpretation of SmartNet outbound words: the four-word history and its decision table, the
// system identity with its confirmation, system type, site, date and time, the control channel
// and the channel grants that fill the on-air list; with the list's grid texts and colours, the
// user's retune and the return to the control channel. What it does to the window goes through
// TSmartNetDecoderClient.
#include "SmartNetReceiver.h"
#include "SmartNetSystemRecord.h"
#include "SmartNetTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The window's texts the decoder writes.
enum class TSmartNetLabel { SysID, SysDescr, SysType, SysTime, SysSite, CtrlChan, CtrlChanFreq, AccFrames };

struct TSmartNetLocalTime {
    uint16_t Year = 0;
    uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// Short month (January first) and day (Sunday first) names of the user's locale.
struct TSmartNetDateNames {
    std::array<std::string, 12> Months;
    std::array<std::string, 7> Days;
};

// The system date and time of a date word, as "yy MMM dd ddd" followed by "  HH:mm"; nothing for a
// date or time that does not exist.
std::optional<std::string> SmartNetSystemTimeText(int year, int month, int day, int hour, int minute,
                                                  const TSmartNetDateNames& names);

class TSmartNetDecoderClient {
public:
    virtual ~TSmartNetDecoderClient() = default;
    // Frequency and mode commands to the host; selfCaused marks the notification that follows.
    virtual void TuneHost(int32_t frequency, bool selfCaused) = 0;
    virtual bool SecondaryInUse() = 0;
    virtual uint32_t SecondaryFrequency() = 0;
    virtual void SecondaryFollow(uint32_t frequency) = 0;  // tuned and unmuted
    virtual void SecondaryPark() = 0;                      // 1 MHz, muted
    virtual uint16_t SecondarySignalStrength() = 0;
    virtual bool AutoTuneChecked() = 0;
    virtual TSmartNetLocalTime LocalTime() = 0;
    virtual TSmartNetDateNames DateNames() = 0;
    // Stores the current system and makes another one current (the record is loaded or created);
    // kSmartNetNoSystem leaves none current.
    virtual void SelectSystem(uint16_t identity) = 0;
    virtual void SaveSystem() = 0;
    virtual void WriteLogEntry(const TSmartNetLocalTime& time, uint16_t system, const TSmartNetOnAirEntry& entry) = 0;
    virtual void SetText(TSmartNetLabel label, const std::string& text) = 0;
    virtual void EnableSystemControls(bool enabled) = 0;  // the filter buttons and the system editor
    virtual void RetToCtrlChanged(bool enabled) = 0;
    virtual void SetGridRows(int rows) = 0;
    virtual void RepaintGrid() = 0;
};

class TSmartNetDecoder : public TSmartNetWordSink {
public:
    // The buffer count may be the window's own, so that both see one count; else the decoder keeps one.
    TSmartNetDecoder(TSmartNetDecoderClient& client, TSmartNetSystemRecord& record,
                     int32_t* buffersSinceTune = nullptr);

    // The receiver's results.
    void GoodWord(const TSmartNetOsw& word) override;
    void BadFrame() override { WordsInSequence = 0; }
    void AccuracyText(const std::string& text) override { client_.SetText(TSmartNetLabel::AccFrames, text); }

    void ReportSystemId(uint16_t identity);
    void SetSystemType(uint8_t type);
    void SetControlChannel(int16_t number);
    void AddCall(int32_t identity, int32_t channel, uint8_t group);
    void RemoveCall(size_t index);
    // Every entry; with returnToControl a followed entry returns the receiver as RemoveCall does.
    void ClearCalls(bool returnToControl = true);
    void AddHeardRadio(uint16_t identity);

    // The receiver whose frame counters hunting reads and restarts.
    void AttachReceiver(TSmartNetReceiver* receiver) { receiver_ = receiver; }
    // The host's signal level (ORV_SIGNAL_LEVEL): a fall below half the level of the last confirmed
    // identity starts a hunt for the control channel when autoFollow is set. Returns whether it did.
    bool SignalLevelNotified(int32_t level, bool autoFollow);
    // The 50 ms timer: a hunting step, the return from a faded traffic channel, and the ageing of the
    // on-air list with the channel occupancy, in this order.
    void TimerTick();
    // The host's channel as the timer computes it: (tuned - base) / step, truncated toward zero.
    int32_t CurrentChannel() const;

    // The host's ORV_FREQUENCY notification. Returns true when it was a user's retune that
    // discarded the current system.
    bool FrequencyNotified(int32_t value);
    void SetChannelSize(int32_t size);
    // Back to the control channel: the secondary receiver parked, or the host tuned there.
    void RetToCtrlClick();
    void SetRetToCtrl(bool enabled);
    bool RetToCtrl() const { return retToCtrl_; }

    bool SystemCurrent() const { return record_.SystemIdentity != kSmartNetNoSystem; }
    uint16_t SystemIdentity() const { return record_.SystemIdentity; }
    // The host's channel: (tuned - base) / step, taken as 16 bits.
    uint16_t HostChannel() const;
    int32_t FrequencyOfChannel(int32_t channel) const;
    const std::vector<TSmartNetOnAirEntry>& OnAir() const { return onAir_; }

    // The grid: row 0 captions, row r entry r - 1.
    bool IsListenedTo(const TSmartNetOnAirEntry& entry);
    std::string CellText(int column, int row) const;
    uint32_t CellColour(int row, bool selected);
    // The hint for a point (x, y) of the grid with column 0 that wide and rows that high.
    std::string HintAt(int x, int y, int column0Width, int rowHeight) const;
    void DoubleClick(int row);
    std::string AliasOf(int32_t identity) const;

    std::array<TSmartNetOsw, 4> WordHistory{};  // newest first
    int32_t WordsInSequence = 0;
    int32_t RepeatCount = 0;
    uint16_t PendingSystemId = kSmartNetNoSystem;
    int16_t ControlChannel = -1;
    uint16_t ChannelSize = 25000;
    int32_t TunedFrequency = 0;
private:
    int32_t ownBuffersSinceTune_ = 0;

public:
    int32_t& BuffersSinceTune;
    int32_t HuntCount = 0;
    int32_t HostSignalLevel = 0;
    int32_t ReferenceLevel = 0;
    bool SelfCausedTune = false;
    int32_t LowSignalTicks = 0;
    char DecimalSeparator = '.';

    // Whether ORV_SIGNAL_LEVEL has been notified since the decoder last tuned the host.
    bool LevelSinceTune() const { return levelSinceTune_; }

private:
    void decide();
    bool IsControlChannelAnnouncement(const TSmartNetOsw& word) const;
    void tuneHost(int32_t frequency);
    void huntingStep();
    void returnTest();
    void age();

    TSmartNetDecoderClient& client_;
    TSmartNetSystemRecord& record_;
    std::vector<TSmartNetOnAirEntry> onAir_;
    bool retToCtrl_ = false;
    bool levelSinceTune_ = false;
    TSmartNetReceiver* receiver_ = nullptr;
};
