#pragma once
// The applet ports bound to the machine's services, and the start-up call that installs them.
#include "AppletPorts.h"

#include <QObject>

#include <memory>
#include <string>

namespace platform {
class Registry;
namespace dde {
class DdeClient;
}
}  // namespace platform

// An applet's settings key in the per-user registry. A value that is absent or of another type
// reads as nothing, so the applet keeps its default; a key that cannot be written loses the values
// of this run and nothing more.
class TRegistrySettings : public TSettingsPort {
public:
    TRegistrySettings();
    ~TRegistrySettings() override;
    bool OpenKey(const std::string& path, bool create) override;
    void CloseKey() override;
    bool ValueExists(const std::string& name) override;
    std::optional<int32_t> ReadInteger(const std::string& name) override;
    std::optional<bool> ReadBool(const std::string& name) override;
    std::optional<std::string> ReadString(const std::string& name) override;
    void WriteInteger(const std::string& name, int32_t value) override;
    void WriteBool(const std::string& name, bool value) override;
    void WriteString(const std::string& name, const std::string& value) override;
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& name) override;
    void WriteBinary(const std::string& name, const std::vector<uint8_t>& value) override;

private:
    std::unique_ptr<platform::Registry> registry_;
};

// One applet's DDE instance on the machine's conversation service.
class TPlatformDdeClient : public TDdeClientPort {
public:
    TPlatformDdeClient();
    ~TPlatformDdeClient() override;
    bool Initialize(Callback callback, uint32_t flags) override;
    void Uninitialize() override;
    TDdeConv Connect(const std::string& service, const std::string& topic) override;
    void Disconnect(TDdeConv conv) override;
    bool Poke(TDdeConv conv, const std::string& item, const std::vector<uint8_t>& data, int timeoutMs) override;
    bool AdviseStart(TDdeConv conv, const std::string& item, int timeoutMs) override;
    bool AdviseStop(TDdeConv conv, const std::string& item, int timeoutMs) override;
    std::optional<std::vector<uint8_t>> Request(TDdeConv conv, const std::string& item, int timeoutMs) override;

private:
    std::unique_ptr<platform::dde::DdeClient> client_;
};

// The port's code for the machine's result of an open: a recording standing in for the sound card
// that holds another format reports kWaveFormatNotDelivered rather than the busy card's 32.
int WaveInOpenResult(uint32_t machineCode, bool inputIsRecording);

// The default sound input (device 0 of the machine's list) with the applet's capture buffers.
class TPlatformWaveIn : public TWaveInPort {
public:
    TPlatformWaveIn();
    ~TPlatformWaveIn() override;
    int Open(const TPcmFormat& format) override;
    std::string ErrorText(int code) override;
    bool Start(int count, int bytes, int queued) override;
    void Requeue(int buffer) override;
    void Reset() override;
    void Close() override;
    void Stop() override;
    void Restart() override;
    uint32_t Position() override;

private:
    struct TBuffers;
    std::unique_ptr<TBuffers> buffers_;
    std::unique_ptr<QObject> context_;  // buffer-done calls run only while it exists
    uint32_t handle_ = 0;
    std::string notDeliveredText_;      // why the recording cannot give the format
};

// Installs the machine's services in AppletServices(); `helpFile` is the program's help file.
void InstallMachineServices(const std::string& helpFile);
