#pragma once
// The services an applet window works with: sound capture, the DDE client conversation with the
// host and its settings key. Each is a small interface so
// that the frame runs the same against the machine's services and against the fakes of the tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// 16-bit PCM unless an applet says otherwise.
struct TPcmFormat {
    uint16_t Channels = 1;
    uint32_t SamplesPerSec = 11025;
    uint16_t BitsPerSample = 16;
};

// An input that can never give the format asked for (a recording of another format): unlike a
// sound card's 32, waiting for another program to let go of the device changes nothing.
constexpr int kWaveFormatNotDelivered = 0x10020;

// The default sound input.
class TWaveInPort {
public:
    virtual ~TWaveInPort() = default;
    // 0 when the input opened, else the device's error code (32: the format is not available now,
    // the device being busy; kWaveFormatNotDelivered: it never will be).
    virtual int Open(const TPcmFormat& format) = 0;
    virtual std::string ErrorText(int code) = 0;
    // Prepares `count` buffers of `bytes` bytes, queues the first `queued` of them and starts capturing;
    // with none queued the input runs idle until a buffer is queued.
    virtual bool Start(int count, int bytes, int queued) = 0;
    // Queues a prepared buffer (again); a buffer that is already queued is refused.
    virtual void Requeue(int buffer) = 0;
    // Returns every queued buffer; their done events still arrive.
    virtual void Reset() = 0;
    virtual void Close() = 0;
    // Holds the capture: a partly filled buffer comes back with what it holds, empty ones stay queued.
    virtual void Stop() {}
    // Captures again into the queued buffers.
    virtual void Restart() {}
    // Bytes captured since the open.
    virtual uint32_t Position() { return 0; }
    // A full buffer: (buffer index, samples, sample count), delivered on the GUI thread.
    std::function<void(int, const int16_t*, size_t)> OnData;
    // The same as bytes, for 8-bit formats; when set it is called instead of OnData.
    std::function<void(int, const uint8_t*, size_t)> OnBytes;
};

// DDE transactions and flags, with the values the host's DDE service expects.
namespace dde {
constexpr uint32_t XTYP_ADVSTART = 0x1030;
constexpr uint32_t XTYP_ADVDATA = 0x4010;
constexpr uint32_t XTYP_ADVSTOP = 0x8040;
constexpr uint32_t XTYP_POKE = 0x4090;
constexpr uint32_t XTYP_REQUEST = 0x20B0;
constexpr uint32_t XTYP_DISCONNECT = 0x80C2;
constexpr uint32_t XTYP_REGISTER = 0x80A2;
constexpr uint32_t DDE_FACK = 0x8000;
constexpr uint32_t CF_TEXT = 1;
constexpr int TIMEOUT_ASYNC = -1;
constexpr uint32_t APPCLIENT_LISTING = 0x3FF010;  // client only, every notification skipped
constexpr uint32_t APPCLIENT_APPLET = 0x1FF010;   // client only, disconnects delivered
constexpr uint32_t APPCLIENT_WATCHER = 0x17F010;  // as above, registrations delivered too
}  // namespace dde

using TDdeConv = uint32_t;  // 0 = none

// What the DDE library hands a client's callback. Item is the second string handle's text
// (the item; for a registration, the service name).
struct TDdeTransaction {
    uint32_t Type = 0;
    TDdeConv Conv = 0;
    std::string Topic;
    std::string Item;
    std::vector<uint8_t> Data;
};

class TDdeClientPort {
public:
    using Callback = std::function<uint32_t(const TDdeTransaction&)>;
    virtual ~TDdeClientPort() = default;
    virtual bool Initialize(Callback callback, uint32_t flags) = 0;
    virtual void Uninitialize() = 0;
    virtual TDdeConv Connect(const std::string& service, const std::string& topic) = 0;
    virtual void Disconnect(TDdeConv conv) = 0;
    // Synchronous with a time-out in ms, or asynchronous with dde::TIMEOUT_ASYNC. True when acknowledged.
    virtual bool Poke(TDdeConv conv, const std::string& item, const std::vector<uint8_t>& data, int timeoutMs) = 0;
    virtual bool AdviseStart(TDdeConv conv, const std::string& item, int timeoutMs) = 0;
    virtual bool AdviseStop(TDdeConv conv, const std::string& item, int timeoutMs) = 0;
    virtual std::optional<std::vector<uint8_t>> Request(TDdeConv conv, const std::string& item, int timeoutMs) = 0;
};

// One applet's settings key; the values are read only from a key that exists.
class TSettingsPort {
public:
    virtual ~TSettingsPort() = default;
    // Opens the key ("\Software\..."); without create a missing key is not made and false comes back.
    virtual bool OpenKey(const std::string& path, bool create) = 0;
    virtual void CloseKey() = 0;
    virtual bool ValueExists(const std::string& name) = 0;
    virtual std::optional<int32_t> ReadInteger(const std::string& name) = 0;
    virtual std::optional<bool> ReadBool(const std::string& name) = 0;
    virtual std::optional<std::string> ReadString(const std::string& name) = 0;
    virtual void WriteInteger(const std::string& name, int32_t value) = 0;
    virtual void WriteBool(const std::string& name, bool value) = 0;
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    // Binary values (the scope keeps its cursors as 8-byte doubles); a port without them reads none.
    virtual std::optional<std::vector<uint8_t>> ReadBinary(const std::string& /*name*/) { return std::nullopt; }
    virtual void WriteBinary(const std::string& /*name*/, const std::vector<uint8_t>& /*value*/) {}
};

// The machine's services; the start-up installs the real ones, tests install fakes.
struct TAppletServices {
    std::function<std::unique_ptr<TWaveInPort>()> MakeWaveIn;
    std::function<std::unique_ptr<TDdeClientPort>()> MakeDdeClient;
    std::function<std::unique_ptr<TSettingsPort>()> MakeSettings;
    std::function<void(int context)> ShowHelpContext;  // the program's help file at a context
    std::function<void()> ProcessMessages;             // lets pending events run
    std::function<int()> WaveInDeviceCount;
};

TAppletServices& AppletServices();
