#pragma once
// Interpretation of MPT1327 codewords: the system codeword, channel grants into the call list,
// channel-number and clear-down messages, data-codeword skipping, and printing of the rest; with
// the window's channel arithmetic (tuned frequency, channel step, current and control channel).
// What it does to the window goes through TMPT1327DecoderClient.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "MPT1327Call.h"
#include "MPT1327Receiver.h"
#include "MPT1327System.h"

struct TMPT1327LocalTime {
    uint16_t Year = 0;
    uint8_t Month = 0;
    uint8_t Day = 0;
    uint8_t Hour = 0;
    uint8_t Minute = 0;
    uint8_t Second = 0;
};

// A printed line: runs of text, each in one colour (0x00BBGGRR).
struct TMPT1327TextRun {
    std::string Text;
    uint32_t Colour = 0;
    bool operator==(const TMPT1327TextRun&) const = default;
};
using TMPT1327TextLine = std::vector<TMPT1327TextRun>;

constexpr uint32_t kMPT1327Lime = 0x00FF00;
constexpr uint32_t kMPT1327Red = 0x0000FF;
constexpr int32_t kMPT1327TuneMode = 2;             // the mode control and traffic channels are tuned in
constexpr int32_t kMPT1327ParkFrequency = 1000000;  // where the secondary receiver waits

// The fields of a codeword the interpreter looks at.
struct TMPT1327Fields {
    uint16_t AddressFlag;   // 1 address codeword, 0 data codeword
    uint16_t Prefix;
    uint16_t Ident1;
    uint16_t MessageFlag;   // 0 channel grant
    uint16_t GrantChannel;
    uint16_t Ident2;
    uint16_t Cat, Type, Func;
    uint16_t ChannelNumber; // of the channel-number message
    uint16_t ClearChannel;  // CHAN of a clear-down
    uint16_t ClearCont;     // control channel to return to
    uint16_t SysDef;
    uint16_t DataCount;     // data codewords following a CAT 1 header
    uint16_t SystemIdentity;
};
TMPT1327Fields MPT1327Fields(const std::array<uint16_t, 4>& w);
bool IsSystemCodeword(const std::array<uint16_t, 4>& w);

// "0 " or "1 ", then each word as " SYNC", " SYNT", " PREAMBLE" (red) or four hex digits (lime), then "\n".
TMPT1327TextLine MPT1327CodewordLine(int input, const std::array<uint16_t, 4>& w);

// What the interpreter does to the window and the receivers.
class TMPT1327DecoderClient {
public:
    virtual ~TMPT1327DecoderClient() = default;

    // The host receiver: frequency command, then mode command.
    virtual void TuneHost(int32_t frequency, int32_t mode) = 0;
    // The secondary receiver (traffic following), when one is in use.
    virtual bool SecondaryInUse() = 0;
    virtual int32_t SecondaryFrequency() = 0;
    virtual void SecondarySetFrequency(int32_t frequency) = 0;
    virtual void SecondarySetMute(bool mute) = 0;

    virtual bool AutoTuneChecked() = 0;
    virtual TMPT1327LocalTime LocalTime() = 0;
    // When the sound being decoded was heard, given the local time just read: that time itself
    // when the sound comes at real time (a card); by the sound's own time for a recording, which
    // may play faster or slower. A repeated call is timed by it.
    virtual TMPT1327LocalTime HeardTime(const TMPT1327LocalTime& now) { return now; }

    // Makes a system current (loads or creates its record); nothing if it is current already.
    virtual void SelectSystem(uint16_t identity) = 0;
    virtual void WriteLogEntry(const TMPT1327LocalTime& time, const TMPT1327Call& call) = 0;

    virtual void PrintLine(const TMPT1327TextLine& line) = 0;  // onto the message pane
    virtual void SetAccFramesText(const std::string& text) = 0;
    virtual void SetCtrlChanText(const std::string& text) = 0;
    virtual void EnableSystemControls() = 0;            // the filter buttons and the system editor
    virtual void ChannelSizeShown(bool is12k5) = 0;     // checks of the two channel-step buttons
    virtual void RetToCtrlChanged(bool enabled) = 0;    // "Return to control channel" enabled or not
    virtual void SetGridRows(int rows) = 0;
    virtual void RepaintGrid() = 0;
};

class TMPT1327Decoder : public TMPT1327CodewordSink {
public:
    // What became of a codeword.
    enum class Outcome { Invalid, Skipped, System, Grant, ChannelNumber, ClearDown, DataHeader, Dropped, Printed };

    // The buffer and valid-codeword counts may live in the window, which counts and resets them
    // too; one count each, whoever changes it (null: the decoder's own).
    TMPT1327Decoder(TMPT1327DecoderClient& client, TMPT1327SystemAccess& system, int32_t* buffersSinceTune = nullptr,
                    int32_t* validCodewords = nullptr);

    void DecodeCodeword(const TMPT1327Codeword& codeword) override { Decode(codeword); }
    Outcome Decode(const TMPT1327Codeword& codeword);

    // Channel arithmetic.
    void SetTunedFrequency(int32_t hz);
    void SetCurrentChannel(int16_t channel);
    // 12500 or 25000; any other step (a bad setting or record) is taken as 25000.
    void SetChannelSize(uint32_t hz);
    void ChanSizeClick(bool is12k5) { SetChannelSize(is12k5 ? 12500 : 25000); }
    void SetControlChannel(int16_t channel) { controlChannel_ = channel; }
    // The channel state a system selection worked out, taken as it is: unlike SetChannelSize the
    // base frequency is not worked out again.
    void AssignChannels(uint32_t channelSize, int16_t current, int16_t control);
    void TuneHost(int32_t hz);
    // Channel of a frequency relative to a base frequency, truncated toward zero.
    int16_t ChannelOfFrequency(int32_t hz, int32_t base) const;
    int32_t FrequencyOfChannel(int32_t channel) const;

    int32_t TunedFrequency() const { return tunedFrequency_; }
    uint16_t ChannelSize() const { return channelSize_; }
    int16_t CurrentChannel() const { return currentChannel_; }
    int16_t ControlChannel() const { return controlChannel_; }

    // One more audio buffer since the last tuning (the window's buffer handler).
    void BufferArrived() { ++buffersSinceTune_; }
    int32_t BuffersSinceTune() const { return buffersSinceTune_; }
    void SetBuffersSinceTune(int32_t n) { buffersSinceTune_ = n; }

    // Valid control codewords counted towards "Accepted frames:" (the input-channel test reads
    // and resets it too).
    int32_t ValidCodewords() const { return valid_; }
    void ResetValidCodewords() { valid_ = 0; }

    bool RetToCtrl() const { return retToCtrl_; }
    void SetRetToCtrl(bool enabled);

    // Call list.
    void AddCall(int32_t prefix, int32_t ident1, int32_t ident2, int32_t channel);
    void AddHeardRadio(int32_t prefix, int32_t ident);
    void RemoveCall(size_t index);
    void ClearCalls();  // also the grid's "&Clear"
    const std::vector<TMPT1327Call>& Calls() const { return calls_; }

    // The grid: rows (row 0 captions, row r call r - 1), texts, colours, hint and double click.
    bool IsListenedTo(const TMPT1327Call& call);
    std::string CellText(int column, int row) const;
    uint32_t CellColour(int row, bool selected);
    std::string HintFor(int column, int row) const;
    // Hint under the mouse at (x, y) of a grid with the given cell pitch scrolled to topRow (the
    // first call row shown under the fixed caption row).
    std::string HintAt(int x, int y, int columnWidth, int rowHeight, int topRow) const;
    void DoubleClick(int row);

private:
    void systemCodeword(int input, const TMPT1327Fields& f);
    void clearDown(int input, const TMPT1327Fields& f);
    int32_t step() const { return channelSize_ ? channelSize_ : 25000; }

    TMPT1327DecoderClient& client_;
    TMPT1327SystemAccess& system_;

    int32_t ownValid_ = 0, ownBuffers_ = 0;
    int32_t total_ = 0;
    int32_t& valid_;
    std::array<int32_t, 2> skip_{};
    int32_t tunedFrequency_ = 0;
    uint16_t channelSize_ = 0;  // set by the first SetChannelSize
    int16_t currentChannel_ = -1;
    int16_t controlChannel_ = -1;
    int16_t heardChannel_ = -1;  // of the last channel-number message since the last tuning
    int32_t& buffersSinceTune_;
    bool retToCtrl_ = false;
    std::vector<TMPT1327Call> calls_;
};
