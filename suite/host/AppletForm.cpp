#include "AppletForm.h"

#include "AboutUnit.h"
#include "AppletList.h"
#include "ProgramMain.h"
#include "WaveInOpen.h"
#include "platform/ui/Application.h"
#include "platform/ui/ScreenPlace.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <bit>

#include <map>

const char* const kSuiteKey = "\\Software\\Korvanta Communications\\Quenda\\";
const char* const kHostService = "Korvanta";

int32_t TAppletSettings::Integer(const std::string& name, int32_t def) const
{
    return port_.ReadInteger(name).value_or(def);
}

bool TAppletSettings::Bool(const std::string& name, bool def) const { return port_.ReadBool(name).value_or(def); }

std::string TAppletSettings::String(const std::string& name, const std::string& def) const
{
    return port_.ReadString(name).value_or(def);
}

TMenuItem MenuItem(std::string caption, std::string name, std::string shortCut, TMenuCommand command)
{
    TMenuItem item;
    item.Caption = std::move(caption);
    item.Name = std::move(name);
    item.ShortCut = std::move(shortCut);
    item.Command = command;
    return item;
}

TMenuItem MenuSeparator() { return MenuItem("-", {}); }

TMenuItem SubMenu(std::string caption, std::string name, std::vector<TMenuItem> items)
{
    TMenuItem menu = MenuItem(std::move(caption), std::move(name));
    menu.Items = std::move(items);
    return menu;
}

std::vector<TMenuItem> HelpMenuItems(const std::string& aboutCaption)
{
    return {MenuItem("&Contents", "Contents1Click", "F1", mcContents), MenuSeparator(),
            MenuItem(aboutCaption, "About1Click", {}, mcAbout)};
}

TMenuItem HelpMenuBarEntry(const std::string& aboutCaption)
{
    return SubMenu("&Help", "Help1", HelpMenuItems(aboutCaption));
}

double TAppletSettings::Double(const std::string& name, double def) const
{
    const auto bytes = port_.ReadBinary(name);
    if (!bytes || bytes->size() != 8)
        return def;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | (*bytes)[size_t(i)];
    return std::bit_cast<double>(bits);
}

void TAppletSettings::SetDouble(const std::string& name, double v)
{
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    std::vector<uint8_t> bytes(8);
    for (int i = 0; i < 8; ++i)
        bytes[size_t(i)] = uint8_t(bits >> (8 * i));
    port_.WriteBinary(name, bytes);
}

TAppletForm::TAppletForm(int32_t receiver, TAppletTraits traits, QWidget* parent)
    : QMainWindow(parent), receiver_(receiver), traits_(std::move(traits))
{
    setAttribute(Qt::WA_DeleteOnClose);  // closing the main window frees it and ends the program
    BuildWindow();
}

void TAppletForm::BuildWindow()
{
    setWindowTitle(QString::fromStdString(traits_.Caption));
    switch (traits_.Border) {
    case bsSizeable:
        break;
    case bsSingle:
    case bsDialog:
        setWindowFlags((traits_.Border == bsDialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                       Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint);
        break;
    }

    client_ = new QWidget(this);
    client_->setObjectName("Client");
    setCentralWidget(client_);

    // Only an applet whose form has a main menu gets a menu bar.
    for (const TMenuItem& top : traits_.MainMenu) {
        QMenu* menu = menuBar()->addMenu(QString::fromStdString(top.Caption));
        menu->setObjectName(QString::fromStdString(top.Name));
        AddMenuItems(menu, top.Items);
        for (const TMenuItem& item : top.Items)
            if (item.Command == mcContents && !helpMenu_)
                helpMenu_ = menu;
    }
    if (!traits_.PopupHelpMenu.empty()) {
        helpMenu_ = new QMenu(this);
        helpMenu_->setObjectName("HelpMenu");
        AddMenuItems(helpMenu_, traits_.PopupHelpMenu);
        // The pop-up's short cuts (F1) work in the window as a menu bar's would.
        addActions(helpMenu_->actions());
    }
}

void TAppletForm::AddMenuItems(QMenu* menu, const std::vector<TMenuItem>& items)
{
    std::map<int, QActionGroup*> groups;
    for (const TMenuItem& item : items) {
        if (item.Caption == "-") {
            menu->addSeparator();
            continue;
        }
        if (!item.Items.empty()) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.Caption));
            sub->setObjectName(QString::fromStdString(item.Name));
            sub->setEnabled(item.Enabled);
            AddMenuItems(sub, item.Items);
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.Caption));
        action->setObjectName(QString::fromStdString(item.Name));
        if (!item.ShortCut.empty())
            action->setShortcut(QKeySequence(QString::fromStdString(item.ShortCut)));
        action->setCheckable(item.Checkable || item.Checked || item.RadioGroup != 0);
        action->setChecked(item.Checked);
        action->setEnabled(item.Enabled);
        action->setData(item.Tag);
        if (item.RadioGroup != 0) {
            QActionGroup*& group = groups[item.RadioGroup];
            if (!group) {
                group = new QActionGroup(menu);
                group->setExclusive(true);
            }
            group->addAction(action);
        }
        const TMenuCommand command = item.Command;
        const std::string name = item.Name;
        connect(action, &QAction::triggered, this, [this, command, name, action] {
            switch (command) {
            case mcContents: ContentsClick(); break;
            case mcAbout: AboutClick(); break;
            case mcExit: close(); break;
            case mcApplet: MenuClick(name, action); break;
            }
        });
    }
}

QAction* TAppletForm::MenuAction(const std::string& name) const
{
    return findChild<QAction*>(QString::fromStdString(name));
}

void TAppletForm::PopupHelpMenu(QWidget* button)
{
    if (helpMenu_ && button)
        helpMenu_->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void TAppletForm::FitWindow()
{
    if (traits_.ClientWidth <= 0 || traits_.ClientHeight <= 0)
        return;
    // The form's client height holds the status bar; the menu bar lies above it.
    const int menuHeight = traits_.MainMenu.empty() ? 0 : menuBar()->sizeHint().height();
    const int width = traits_.ClientWidth;
    const int height = traits_.ClientHeight + menuHeight;
    if (traits_.Border == bsSizeable)
        resize(width, height);
    else
        setFixedSize(width, height);
    if (layout())
        layout()->activate();
}

void TAppletForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_ && traits_.Position == poScreenCenter)
        CentreOnScreen(this);
    shown_ = true;
}

TAppletForm::~TAppletForm()
{
    // A window freed without closing still lets go of the device and the host.
    if (!destroyed_) {
        destroyed_ = true;
        DestroyDde();
        DestroySoundInput();
    }
}

void TAppletForm::FormCreate()
{
    failed_ = true;
    conv_ = 0;
    dde_.reset();
    // Centred at the size the window will have, not before.
    FitWindow();
    if (traits_.Centred)
        CentreOnScreen(this);

    positionRestored_ = false;
    CreateSteps();
    if (positionRestored_)
        platform::KeepOnScreen(this);

    if (!traits_.DdeOnlyWithSoundInput || waveInOpen_) {
        dde_ = AppletServices().MakeDdeClient ? AppletServices().MakeDdeClient() : nullptr;
        if (dde_)
            dde_->Initialize([this](const TDdeTransaction& tx) { return DdeCallback(tx); }, traits_.DdeFlags);
        ConnectHost();
    }
    failed_ = conv_ == 0 || (traits_.FailsWithoutSoundInput && !waveInOpen_);
}

void TAppletForm::CreateSteps()
{
    SetupApplet();
    ReadSettings();
    OpenSoundInput();
}

void TAppletForm::WithSettingsKey(bool create, const std::function<void(TAppletSettings&)>& use)
{
    if (traits_.KeyName.empty())
        return;
    std::unique_ptr<TSettingsPort> key = AppletServices().MakeSettings ? AppletServices().MakeSettings() : nullptr;
    if (!key || !key->OpenKey(kSuiteKey + traits_.KeyName, create))
        return;
    TAppletSettings settings(*key);
    use(settings);
    key->CloseKey();
}

void TAppletForm::ReadSettings()
{
    WithSettingsKey(false, [this](TAppletSettings& s) { LoadSettings(s); });
}

void TAppletForm::RestorePosition(int left, int top)
{
    move(left, top);
    positionRestored_ = true;
}

void TAppletForm::StorePosition(TAppletSettings& s, const std::string& leftName, const std::string& topName) const
{
    if (platform::runningHeadless())
        return;
    s.SetInteger(leftName, x());
    s.SetInteger(topName, y());
}

bool TAppletForm::OpenSoundInput()
{
    waveIn_ = AppletServices().MakeWaveIn ? AppletServices().MakeWaveIn() : nullptr;
    if (!waveIn_ || !OpenWaveIn(*waveIn_, CaptureFormat(), this)) {
        waveIn_.reset();
        return false;
    }
    waveIn_->OnData = [this](int buffer, const int16_t* samples, size_t count) {
        if (closing_)
            return;  // buffers coming back during the reset are dropped
        WaveInData(samples, count);
        if (RequeueAfterData())
            QueueCaptureBuffer(buffer);
    };
    waveIn_->OnBytes = [this](int buffer, const uint8_t* data, size_t bytes) {
        if (closing_)
            return;
        WaveInBytes(buffer, data, bytes);
        if (RequeueAfterData())
            QueueCaptureBuffer(buffer);
    };
    waveInOpen_ = true;
    waveIn_->Start(CaptureBufferCount(), CaptureBufferBytes(), CaptureBuffersQueuedAtStart());
    return true;
}

void TAppletForm::WaveInBytes(int /*buffer*/, const uint8_t* data, size_t bytes)
{
    // The capture buffers are 16-bit storage, so the bytes are aligned for samples.
    WaveInData(reinterpret_cast<const int16_t*>(data), bytes / sizeof(int16_t));
}

void TAppletForm::QueueCaptureBuffer(int buffer)
{
    if (!closing_ && waveIn_ && waveInOpen_)
        waveIn_->Requeue(buffer);
}

void TAppletForm::ConnectHost()
{
    if (!dde_ || conv_ != 0)
        return;
    conv_ = dde_->Connect(kHostService, DdeTopic(receiver_));
    StartAdviseLoops();
}

void TAppletForm::StartAdviseLoops()
{
    if (conv_ == 0 || !waveInOpen_)
        return;
    for (const std::string& item : traits_.Items)
        dde_->AdviseStart(conv_, item, 5000);
}

uint32_t TAppletForm::DdeCallback(const TDdeTransaction& tx)
{
    switch (tx.Type) {
    case dde::XTYP_DISCONNECT:
        if (conv_ != 0 && tx.Conv == conv_) {
            conv_ = 0;
            // Closed from the event loop, not from inside the DDE library's call.
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        }
        return 0;
    case dde::XTYP_ADVDATA: {
        if (traits_.Items.empty())
            return 0;
        // Item and data are read into the applet's buffer size and no further; the data need not end in a NUL.
        const size_t room = traits_.AdviseBufferSize;
        const std::string item = tx.Item.substr(0, room - 1);
        std::string text(tx.Data.begin(), tx.Data.begin() + static_cast<std::ptrdiff_t>(std::min(tx.Data.size(), room)));
        if (size_t nul = text.find('\0'); nul != std::string::npos)
            text.resize(nul);
        for (const std::string& known : traits_.Items) {
            if (!SameText(item, known))
                continue;
            try {
                AdviseValue(known, StrToInt(text));
            } catch (const EConvertError&) {
                // a value that is not a decimal integer is ignored
            }
            break;
        }
        AfterAdviseData();
        return dde::DDE_FACK;
    }
    case dde::XTYP_REGISTER:
        if (traits_.ReconnectsOnRegister && conv_ == 0 && SameText(tx.Item, kHostService))
            HostRegistered();
        return 0;
    default:
        return 0;
    }
}

namespace {

std::vector<uint8_t> TextWithNul(const std::string& text)
{
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

}  // namespace

bool TAppletForm::SendPoke(const std::string& item, const std::vector<uint8_t>& data, int timeoutMs)
{
    if (!dde_ || conv_ == 0)
        return false;
    return dde_->Poke(conv_, item, data, timeoutMs);
}

void TAppletForm::HeadlessReport(const QString& shown, bool onlyChanges)
{
    if (!platform::runningHeadless())
        return;
    const std::string text = shown.trimmed().toStdString();
    if (onlyChanges && text == lastReport_)
        return;
    lastReport_ = text;
    platform::headlessPrint(windowTitle().toStdString() + ": " + text + "\n");
}

bool TAppletForm::PokeItem(const std::string& item, const std::string& text, int timeoutMs)
{
    return SendPoke(item, TextWithNul(text), timeoutMs);
}

int TAppletForm::CreateDataHandle(const std::string& text)
{
    if (!dde_)
        return 0;
    dataHandles_.push_back(TextWithNul(text));
    return static_cast<int>(dataHandles_.size());
}

bool TAppletForm::PokeDataHandle(const std::string& item, int handle, int timeoutMs)
{
    if (handle <= 0 || static_cast<size_t>(handle) > dataHandles_.size())
        return false;
    return SendPoke(item, dataHandles_[static_cast<size_t>(handle) - 1], timeoutMs);
}

void TAppletForm::FormDestroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    for (TDestroyStep step : traits_.DestroyOrder)
        RunDestroyStep(step);
    // Whatever an applet's order leaves out is still let go of.
    DestroyDde();
    DestroySoundInput();
}

void TAppletForm::RunDestroyStep(TDestroyStep step)
{
    switch (step) {
    case dsStop: StopApplet(); break;
    case dsDde: DestroyDde(); break;
    case dsSoundInput: DestroySoundInput(); break;
    case dsLog: CloseLog(); break;
    case dsRecordingFile: CloseRecordingFile(); break;
    case dsCaptureBuffers: FreeCaptureBuffers(); break;
    case dsSettings: DestroySettings(); break;
    }
}

void TAppletForm::DestroyDde()
{
    if (!dde_)
        return;
    if (conv_ != 0) {
        if (traits_.AdviseStopOnDestroy)
            for (const std::string& item : traits_.Items)
                dde_->AdviseStop(conv_, item, 1000);
        dde_->Disconnect(conv_);
        conv_ = 0;
    }
    dataHandles_.clear();
    dde_->Uninitialize();
    dde_.reset();
}

void TAppletForm::DestroySoundInput()
{
    if (!waveIn_)
        return;
    if (waveInOpen_) {
        closing_ = true;
        waveIn_->Reset();
        if (AppletServices().ProcessMessages)
            AppletServices().ProcessMessages();
        waveIn_->Close();
        waveInOpen_ = false;
    }
    waveIn_.reset();
}

bool TAppletForm::RestartSoundInput()
{
    DestroySoundInput();
    closing_ = false;
    return OpenSoundInput();
}

void TAppletForm::DestroySettings()
{
    WithSettingsKey(true, [this](TAppletSettings& s) { SaveSettings(s); });
}

void TAppletForm::closeEvent(QCloseEvent* event)
{
    FormDestroy();
    event->accept();
}

void TAppletForm::ContentsClick()
{
    if (AppletServices().ShowHelpContext)
        AppletServices().ShowHelpContext(traits_.HelpContext);
}

void TAppletForm::AboutClick()
{
    TAboutForm about(this);
    about.SetModuleText(traits_.ModuleText);
    about.exec();
}
