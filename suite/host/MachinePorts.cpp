#include "MachinePorts.h"

#include "platform/dde/DdeClient.h"
#include "platform/settings/Registry.h"
#include "platform/sound/WaveIn.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/Application.h"
#include "platform/ui/Help.h"

#include <cstdlib>

namespace {

// Runs a registry read; an absent or mistyped value gives nothing.
template <class F>
auto Attempt(F&& read) -> std::optional<decltype(read())>
{
    try {
        return read();
    } catch (const platform::RegistryError&) {
        return std::nullopt;
    }
}

}  // namespace

TRegistrySettings::TRegistrySettings() : registry_(std::make_unique<platform::Registry>()) {}

TRegistrySettings::~TRegistrySettings() = default;

bool TRegistrySettings::OpenKey(const std::string& path, bool create)
{
    try {
        return registry_->OpenKey(path, create);
    } catch (const platform::RegistryError&) {
        return false;
    }
}

void TRegistrySettings::CloseKey()
{
    try {
        registry_->CloseKey();
    } catch (const platform::RegistryError&) {
        // The settings of this run are lost; the program goes on.
    }
}

bool TRegistrySettings::ValueExists(const std::string& name)
{
    return Attempt([&] { return registry_->ValueExists(name); }).value_or(false);
}

std::optional<int32_t> TRegistrySettings::ReadInteger(const std::string& name)
{
    return Attempt([&] { return registry_->ReadInteger(name); });
}

std::optional<bool> TRegistrySettings::ReadBool(const std::string& name)
{
    return Attempt([&] { return registry_->ReadBool(name); });
}

std::optional<std::string> TRegistrySettings::ReadString(const std::string& name)
{
    return Attempt([&] { return registry_->ReadString(name); });
}

void TRegistrySettings::WriteInteger(const std::string& name, int32_t value)
{
    Attempt([&] { registry_->WriteInteger(name, value); return true; });
}

void TRegistrySettings::WriteBool(const std::string& name, bool value)
{
    Attempt([&] { registry_->WriteBool(name, value); return true; });
}

void TRegistrySettings::WriteString(const std::string& name, const std::string& value)
{
    Attempt([&] { registry_->WriteString(name, value); return true; });
}

std::optional<std::vector<uint8_t>> TRegistrySettings::ReadBinary(const std::string& name)
{
    return Attempt([&] { return registry_->ReadBinaryData(name); });
}

void TRegistrySettings::WriteBinary(const std::string& name, const std::vector<uint8_t>& value)
{
    Attempt([&] { registry_->WriteBinaryData(name, value); return true; });
}

static_assert(dde::XTYP_ADVSTART == platform::dde::XTYP_ADVSTART && dde::XTYP_ADVDATA == platform::dde::XTYP_ADVDATA &&
              dde::XTYP_ADVSTOP == platform::dde::XTYP_ADVSTOP && dde::XTYP_POKE == platform::dde::XTYP_POKE &&
              dde::XTYP_REQUEST == platform::dde::XTYP_REQUEST &&
              dde::XTYP_DISCONNECT == platform::dde::XTYP_DISCONNECT &&
              dde::XTYP_REGISTER == platform::dde::XTYP_REGISTER && dde::DDE_FACK == platform::dde::DDE_FACK &&
              dde::CF_TEXT == platform::dde::CF_TEXT);

namespace {

uint32_t Timeout(int timeoutMs)
{
    return timeoutMs == dde::TIMEOUT_ASYNC ? platform::dde::TIMEOUT_ASYNC : static_cast<uint32_t>(timeoutMs);
}

}  // namespace

TPlatformDdeClient::TPlatformDdeClient() = default;

TPlatformDdeClient::~TPlatformDdeClient() = default;

bool TPlatformDdeClient::Initialize(Callback callback, uint32_t flags)
{
    client_ = std::make_unique<platform::dde::DdeClient>(
        [callback = std::move(callback)](const platform::dde::DdeEvent& e) -> uint32_t {
            if (!callback)
                return 0;
            TDdeTransaction tx;
            tx.Type = e.type;
            tx.Conv = static_cast<TDdeConv>(e.conv);
            tx.Topic = e.topic;
            tx.Item = e.type == platform::dde::XTYP_REGISTER || e.type == platform::dde::XTYP_UNREGISTER ? e.service
                                                                                                       : e.item;
            tx.Data = e.data;
            return callback(tx);
        },
        flags);
    return true;
}

void TPlatformDdeClient::Uninitialize() { client_.reset(); }

TDdeConv TPlatformDdeClient::Connect(const std::string& service, const std::string& topic)
{
    return client_ ? static_cast<TDdeConv>(client_->Connect(service, topic)) : 0;
}

void TPlatformDdeClient::Disconnect(TDdeConv conv)
{
    if (client_)
        client_->Disconnect(conv);
}

bool TPlatformDdeClient::Poke(TDdeConv conv, const std::string& item, const std::vector<uint8_t>& data, int timeoutMs)
{
    return client_ && client_->Poke(conv, item, data, Timeout(timeoutMs));
}

bool TPlatformDdeClient::AdviseStart(TDdeConv conv, const std::string& item, int timeoutMs)
{
    return client_ && client_->AdviseStart(conv, item, Timeout(timeoutMs));
}

bool TPlatformDdeClient::AdviseStop(TDdeConv conv, const std::string& item, int timeoutMs)
{
    return client_ && client_->AdviseStop(conv, item, Timeout(timeoutMs));
}

std::optional<std::vector<uint8_t>> TPlatformDdeClient::Request(TDdeConv conv, const std::string& item, int timeoutMs)
{
    return client_ ? client_->Request(conv, item, Timeout(timeoutMs)) : std::nullopt;
}

struct TPlatformWaveIn::TBuffers {
    std::vector<std::vector<int16_t>> Samples;
    std::vector<platform::WaveHeader> Headers;
};

TPlatformWaveIn::TPlatformWaveIn() : buffers_(std::make_unique<TBuffers>()) {}

TPlatformWaveIn::~TPlatformWaveIn()
{
    if (handle_ != 0) {
        context_.reset();
        platform::waveInReset(handle_);
        Close();
    }
}

int WaveInOpenResult(uint32_t machineCode, bool inputIsRecording)
{
    if (machineCode == platform::kWaveBadFormat && inputIsRecording)
        return kWaveFormatNotDelivered;
    return int(machineCode);
}

namespace {

// The default input is a recording: WAVE_IN_FILE names one and no script replaces the devices.
bool InputIsRecording()
{
    const char* file = std::getenv("WAVE_IN_FILE");
    return file && *file && !platform::currentWaveScript();
}

}  // namespace

int TPlatformWaveIn::Open(const TPcmFormat& format)
{
    if (handle_ != 0)
        Close();
    context_ = std::make_unique<QObject>();
    const platform::WaveFormat wf = platform::WaveFormat::pcm(format.SamplesPerSec, format.BitsPerSample, format.Channels);
    const uint32_t result = platform::waveInOpen(
        &handle_, platform::kWaveMapper, wf,
        [this](platform::WaveInHandle, platform::WaveHeader* h) {
            if (OnBytes)
                OnBytes(int(h->user), h->data, h->bytesRecorded);
            else if (OnData)
                OnData(int(h->user), reinterpret_cast<const int16_t*>(h->data), h->bytesRecorded / sizeof(int16_t));
        },
        context_.get());
    if (result != platform::kWaveNoError)
        handle_ = 0;
    const int code = WaveInOpenResult(result, InputIsRecording());
    if (code == kWaveFormatNotDelivered)
        notDeliveredText_ = platform::waveInErrorText(result);
    return code;
}

std::string TPlatformWaveIn::ErrorText(int code)
{
    if (code == kWaveFormatNotDelivered)
        return notDeliveredText_;
    return platform::waveInErrorText(uint32_t(code));
}

bool TPlatformWaveIn::Start(int count, int bytes, int queued)
{
    if (handle_ == 0 || count <= 0 || bytes < 1 || !buffers_->Headers.empty())
        return false;
    // 16-bit storage, so that samples are aligned; an odd byte count (8-bit samples) is kept whole.
    buffers_->Samples.assign(size_t(count), std::vector<int16_t>((size_t(bytes) + 1) / sizeof(int16_t)));
    buffers_->Headers.assign(size_t(count), platform::WaveHeader());
    bool ok = true;
    for (size_t i = 0; i < buffers_->Headers.size(); ++i) {
        platform::WaveHeader& h = buffers_->Headers[i];
        h.data = reinterpret_cast<uint8_t*>(buffers_->Samples[i].data());
        h.bufferLength = uint32_t(bytes);
        h.user = i;
        ok = platform::waveInPrepareHeader(handle_, &h) == platform::kWaveNoError && ok;
        if (int(i) < queued)
            ok = platform::waveInAddBuffer(handle_, &h) == platform::kWaveNoError && ok;
    }
    return platform::waveInStart(handle_) == platform::kWaveNoError && ok;
}

void TPlatformWaveIn::Requeue(int buffer)
{
    if (handle_ != 0 && buffer >= 0 && size_t(buffer) < buffers_->Headers.size())
        platform::waveInAddBuffer(handle_, &buffers_->Headers[size_t(buffer)]);
}

void TPlatformWaveIn::Reset()
{
    if (handle_ != 0)
        platform::waveInReset(handle_);
}

void TPlatformWaveIn::Stop()
{
    if (handle_ != 0)
        platform::waveInStop(handle_);
}

void TPlatformWaveIn::Restart()
{
    if (handle_ != 0)
        platform::waveInStart(handle_);
}

uint32_t TPlatformWaveIn::Position()
{
    uint32_t bytes = 0;
    if (handle_ != 0)
        platform::waveInGetPosition(handle_, &bytes);
    return bytes;
}

void TPlatformWaveIn::Close()
{
    if (handle_ == 0)
        return;
    platform::waveInReset(handle_);  // the device lets go of every buffer before they are freed
    for (platform::WaveHeader& h : buffers_->Headers)
        platform::waveInUnprepareHeader(handle_, &h);
    platform::waveInClose(handle_);
    handle_ = 0;
    context_.reset();
    buffers_->Headers.clear();
    buffers_->Samples.clear();
}

void InstallMachineServices(const std::string& helpFile)
{
    TAppletServices& s = AppletServices();
    s.MakeWaveIn = [] { return std::make_unique<TPlatformWaveIn>(); };
    s.WaveInDeviceCount = [] { return int(platform::waveInDeviceCount()); };
    s.MakeDdeClient = [] { return std::make_unique<TPlatformDdeClient>(); };
    s.MakeSettings = [] { return std::make_unique<TRegistrySettings>(); };
    s.ShowHelpContext = [helpFile](int context) { platform::help().ShowContext(helpFile, context); };
    s.ProcessMessages = [] { platform::processMessages(); };
}
