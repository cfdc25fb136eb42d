#pragma once
// The frame every applet window is built on: the create function, the window as the program's
// main window, the settings key, the sound capture, the DDE conversation with the host, the
// Help menu and the About box. An applet derives from TAppletForm, states its row of traits and
// fills in the hooks it needs.
#include "AppletPorts.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QCloseEvent;

// The steps of a window's destruction; each applet lists them in its own order.
enum TDestroyStep {
    dsStop,            // StopApplet: end what is running (the recorder's playback and recording)
    dsDde,             // advise stops, disconnect, uninitialize
    dsSoundInput,      // mark closing, reset, let pending buffers return, close
    dsLog,             // CloseLog
    dsRecordingFile,   // CloseRecordingFile
    dsCaptureBuffers,  // FreeCaptureBuffers
    dsSettings         // open the key (creating it) and SaveSettings
};

// What one applet does differently from the others.
struct TAppletTraits {
    std::string KeyName;                           // under kSuiteKey; empty: the applet keeps no settings
    bool Centred = true;                           // placed in the middle of the screen at creation
    uint32_t DdeFlags = dde::APPCLIENT_APPLET;
    bool DdeOnlyWithSoundInput = false;            // the DDE link is made only when the input opened
    bool FailsWithoutSoundInput = true;            // false for an applet that opens its input later
    std::vector<std::string> Items;                // items it is advised of
    bool AdviseStopOnDestroy = true;
    size_t AdviseBufferSize = 16;                  // characters of item name and data taken, NUL included
    bool ReconnectsOnRegister = false;             // connects again when the host's service registers
    std::vector<TDestroyStep> DestroyOrder;
    int HelpContext = 0;
    std::string ModuleText;                        // the About box's module line
};

extern const char* const kSuiteKey;  // "\Software\Korvanta Communications\Quenda\"
extern const char* const kHostService;  // "Korvanta"

// An applet's settings: reads give the default when the value is absent or unreadable.
class TAppletSettings {
public:
    explicit TAppletSettings(TSettingsPort& port) : port_(port) {}
    int32_t Integer(const std::string& name, int32_t def) const;
    bool Bool(const std::string& name, bool def) const;
    std::string String(const std::string& name, const std::string& def) const;
    bool Exists(const std::string& name) const { return port_.ValueExists(name); }
    void SetInteger(const std::string& name, int32_t v) { port_.WriteInteger(name, v); }
    void SetBool(const std::string& name, bool v) { port_.WriteBool(name, v); }
    void SetString(const std::string& name, const std::string& v) { port_.WriteString(name, v); }
    // An 8-byte little-endian double kept as a binary value; the default unless exactly 8 bytes are there.
    double Double(const std::string& name, double def) const;
    void SetDouble(const std::string& name, double v);

private:
    TSettingsPort& port_;
};

class TAppletForm : public QMainWindow {
    Q_OBJECT
public:
    TAppletForm(int32_t receiver, TAppletTraits traits, QWidget* parent = nullptr);
    ~TAppletForm() override;

    // The body of an applet's create function: makes the window, runs its creation and returns
    // whether it started; a window that did not start is destroyed at once.
    template <class TForm, class... Args>
    static bool CreateApplet(int32_t receiver, Args&&... args)
    {
        auto* form = new TForm(receiver, std::forward<Args>(args)...);
        form->FormCreate();
        if (!form->Failed()) {
            form->show();
            return true;
        }
        form->FormDestroy();
        delete form;
        return false;
    }

    void FormCreate();
    // Runs the destruction steps once, in the applet's order.
    void FormDestroy();

    bool Failed() const { return failed_; }
    int32_t Receiver() const { return receiver_; }
    TDdeConv Conversation() const { return conv_; }
    bool WaveInOpen() const { return waveInOpen_; }
    bool Closing() const { return closing_; }
    const TAppletTraits& Traits() const { return traits_; }

    // The DDE callback's common behaviour; the result goes back to the DDE library.
    uint32_t DdeCallback(const TDdeTransaction& tx);

    QMenu* HelpMenu() const { return helpMenu_; }
    void ContentsClick();
    void AboutClick();

protected:
    // Steps 3 to 5 of the creation; an applet whose order differs overrides this.
    virtual void CreateSteps();
    virtual void SetupApplet() {}
    // Opens the key without creating it and, only when it opened, hands it to LoadSettings.
    void ReadSettings();
    virtual void LoadSettings(const TAppletSettings&) {}
    virtual void SaveSettings(TAppletSettings&) {}
    // Opens the capture through OpenWaveIn and starts it; false leaves the input closed.
    virtual bool OpenSoundInput();
    virtual TPcmFormat CaptureFormat() const { return TPcmFormat(); }
    virtual int CaptureBufferCount() const { return 4; }
    virtual int CaptureBufferBytes() const { return 4096; }
    // How many of the buffers are queued when the capture starts; the rest wait for QueueCaptureBuffer.
    virtual int CaptureBuffersQueuedAtStart() const { return CaptureBufferCount(); }
    // False for an applet that queues its buffers itself rather than after every one that returns.
    virtual bool RequeueAfterData() const { return true; }
    // One full capture buffer; the frame queues it again afterwards unless RequeueAfterData says not.
    virtual void WaveInData(const int16_t* /*samples*/, size_t /*count*/) {}
    // Closes the capture as the destruction does and opens it again with the applet's current format
    // and buffers (an applet that changes its rate or buffer length); false leaves it closed.
    bool RestartSoundInput();
    // Queues one of the prepared buffers while the input is open and not closing.
    void QueueCaptureBuffer(int buffer);

    // Connects to the host (steps 7 and 8); the recorder overrides it with its reconnecting procedure.
    virtual void ConnectHost();
    // Advise loops at creation: each item, 5000 ms, when the conversation and the input exist.
    virtual void StartAdviseLoops();
    // A decimal advise value of one of the traits' items (the name as the traits spell it).
    virtual void AdviseValue(const std::string& /*item*/, int32_t /*value*/) {}
    // After every advise-data transaction, whatever the item.
    virtual void AfterAdviseData() {}
    // The host's service registered while there was no conversation.
    virtual void HostRegistered() { ConnectHost(); }

    // Applet-specific destruction steps.
    virtual void StopApplet() {}
    virtual void CloseLog() {}
    virtual void CloseRecordingFile() {}
    virtual void FreeCaptureBuffers() {}

    // The steps the frame performs itself.
    void DestroyDde();
    void DestroySoundInput();
    void DestroySettings();

    // Sends `text` with its NUL to an item.
    bool PokeItem(const std::string& item, const std::string& text, int timeoutMs);
    // Poke data made once and sent many times (the text with its NUL), kept until the DDE instance
    // is let go; 0 when there is no instance.
    int CreateDataHandle(const std::string& text);
    // Sends an owned data handle to an item; false without a conversation or for a handle that is gone.
    bool PokeDataHandle(const std::string& item, int handle, int timeoutMs);
    TDdeClientPort* Dde() const { return dde_.get(); }
    TWaveInPort* WaveIn() const { return waveIn_.get(); }
    void SetConversation(TDdeConv conv) { conv_ = conv; }

    void closeEvent(QCloseEvent* event) override;

private:
    void RunDestroyStep(TDestroyStep step);
    // Opens the applet's key (creating it or not) and hands it to `use`; nothing when it cannot be opened.
    void WithSettingsKey(bool create, const std::function<void(TAppletSettings&)>& use);
    bool SendPoke(const std::string& item, const std::vector<uint8_t>& data, int timeoutMs);

    int32_t receiver_;
    TAppletTraits traits_;
    bool failed_ = true;
    bool closing_ = false;
    bool destroyed_ = false;
    bool waveInOpen_ = false;
    TDdeConv conv_ = 0;
    std::unique_ptr<TDdeClientPort> dde_;  // the DDE instance; null = none
    std::unique_ptr<TWaveInPort> waveIn_;
    std::vector<std::vector<uint8_t>> dataHandles_;  // handle n is entry n - 1
    QMenu* helpMenu_ = nullptr;
};
