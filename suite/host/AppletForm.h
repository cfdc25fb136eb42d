#pragma once
// The frame every applet window is built on: the create function, the window as the program's
// main window, the settings key, the sound capture, the DDE conversation with the host, the
// menus and the About box. An applet derives from TAppletForm, states its record of traits (the
// window's caption, client size, border and menus among them) and fills in the hooks it needs.
#include "AppletPorts.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QCloseEvent;
class QShowEvent;

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

// How the window's edge behaves, as the applet's form gives it.
enum TFormBorder {
    bsSizeable,  // the user may resize it; minimise and maximise buttons
    bsSingle,    // fixed single border: no resizing, the system menu (close button) only
    bsDialog     // fixed dialog border: as single, drawn as a dialog
};

// Where the window appears, besides the frame's centring at creation.
enum TFormPosition {
    poDesigned,      // where the creation leaves it
    poScreenCenter   // the form centres itself when first shown, at its final size
};

// What a menu item does when chosen.
enum TMenuCommand {
    mcApplet,    // the applet's own: MenuClick(Name)
    mcContents,  // the program's help file at the applet's help context
    mcAbout,     // the shared About box with the applet's module text
    mcExit       // closes the window
};

// One menu item as the form lists it. A caption of "-" is a separator; an item with Items is a
// submenu. A checkable item's check changes when it is chosen, before its handler runs; the items of
// one menu that share a RadioGroup number are checked one at a time.
struct TMenuItem {
    std::string Caption;
    std::string Name;      // the handler's name, also the action's object name ("Contents1Click")
    std::string ShortCut;  // "F1", "Ctrl+N", "Alt+X", "Del"; empty: none
    TMenuCommand Command = mcApplet;
    std::vector<TMenuItem> Items;
    bool Checkable = false;
    bool Checked = false;
    int RadioGroup = 0;    // 0: none
    int Tag = 0;           // kept as the action's data
    bool Enabled = true;
};

// A plain item, a separator and a submenu, for writing a form's menus as a list.
TMenuItem MenuItem(std::string caption, std::string name, std::string shortCut = {}, TMenuCommand command = mcApplet);
TMenuItem MenuSeparator();
TMenuItem SubMenu(std::string caption, std::string name, std::vector<TMenuItem> items);

// The items of the Help menu: "&Contents" (F1), a separator, the About item.
std::vector<TMenuItem> HelpMenuItems(const std::string& aboutCaption = "&About...");
// A menu bar's "&Help" menu with those items.
TMenuItem HelpMenuBarEntry(const std::string& aboutCaption = "&About...");

// What one applet does differently from the others.
struct TAppletTraits {
    // The window as its form gives it.
    std::string Caption;
    int ClientWidth = 0;                           // the client area below the menu bar, the frame's
    int ClientHeight = 0;                          //   status bar included; 0: left to the layout
    TFormBorder Border = bsSizeable;
    TFormPosition Position = poDesigned;
    std::vector<TMenuItem> MainMenu;               // the menu bar; empty: none
    std::vector<TMenuItem> PopupHelpMenu;          // the Help menu a "&Help" button pops up; empty: none

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

    // The Help menu: the pop-up one, else the menu bar's menu that holds the Contents item.
    QMenu* HelpMenu() const { return helpMenu_; }
    // The action of a menu item by its handler's name; nullptr when the menus have none.
    QAction* MenuAction(const std::string& name) const;
    // Pops the Help menu up at the button's left edge, directly below it.
    void PopupHelpMenu(QWidget* button);
    void ContentsClick();
    void AboutClick();

    // The widget that holds the applet's controls: the client area.
    QWidget* Client() const { return client_; }
    // Gives the window the size its record states: the client area plus the menu bar. The frame
    // does this before it centres the window; an applet that builds its controls later calls it again.
    void FitWindow();

protected:
    // Steps 3 to 5 of the creation; an applet whose order differs overrides this.
    virtual void CreateSteps();
    virtual void SetupApplet() {}
    // Opens the key without creating it and, only when it opened, hands it to LoadSettings.
    void ReadSettings();
    // A window position read from the settings: applied now and, once the creation is done, moved
    // onto the screens if part of the window would be off them.
    void RestorePosition(int left, int top);
    // Writes the window's position under these names, unless the run is headless: a run without a
    // display has no screen of the user's to place its window on, and keeps what was stored.
    void StorePosition(TAppletSettings& s, const std::string& leftName, const std::string& topName) const;
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
    // The same buffer as bytes (an applet that captures 8-bit samples takes these); by default the
    // bytes are handed on as 16-bit samples.
    virtual void WaveInBytes(int buffer, const uint8_t* data, size_t bytes);
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

    // Run headless, a result the window shows (a tone heard, a state, a measurement) is written to
    // standard output as "<caption>: <text>": each time it changes, or every time.
    void HeadlessReport(const QString& text, bool onlyChanges = true);

    // A chosen menu item of the applet's own (mcApplet), by its handler's name.
    virtual void MenuClick(const std::string& /*name*/, QAction* /*action*/) {}

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildWindow();
    void AddMenuItems(QMenu* menu, const std::vector<TMenuItem>& items);
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
    QWidget* client_ = nullptr;
    bool shown_ = false;
    bool positionRestored_ = false;
    std::string lastReport_;
};
