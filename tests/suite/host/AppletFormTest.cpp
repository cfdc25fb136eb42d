// The applet frame: creation, the DDE callback, the closing mark and each applet's destruction order.
#include "AppletForm.h"
#include "SuiteBox.h"
#include "SuiteFakes.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// An applet that records what the frame asks of it.
class TRecordingApplet : public TAppletForm {
public:
    TRecordingApplet(int32_t receiver, TAppletTraits traits, std::vector<std::string>* log)
        : TAppletForm(receiver, std::move(traits)), log_(log)
    {
    }
    using TAppletForm::SetConversation;
    int32_t width = 100;
    std::vector<std::pair<std::string, int32_t>> values;
    int afterAdvise = 0;
    int registered = 0;
    std::vector<size_t> buffers;

protected:
    // An applet that opens its input only when it records leaves it closed at creation.
    void CreateSteps() override
    {
        if (Traits().FailsWithoutSoundInput)
            TAppletForm::CreateSteps();
        else
            ReadSettings();
    }
    void LoadSettings(const TAppletSettings& s) override
    {
        width = s.Integer("Width", width);
        log_->push_back("load " + std::to_string(width));
    }
    void SaveSettings(TAppletSettings& s) override { s.SetInteger("Width", width); }
    void WaveInData(const int16_t*, size_t count) override { buffers.push_back(count); }
    void AdviseValue(const std::string& item, int32_t value) override { values.emplace_back(item, value); }
    void AfterAdviseData() override { ++afterAdvise; }
    void HostRegistered() override { ++registered; }
    void StopApplet() override { log_->push_back("stop"); }
    void CloseLog() override { log_->push_back("log"); }
    void CloseRecordingFile() override { log_->push_back("recording file"); }
    void FreeCaptureBuffers() override { log_->push_back("capture buffers"); }
    void MenuClick(const std::string& name, QAction* action) override
    {
        log_->push_back("menu " + name + " checked " + std::to_string(action->isChecked()));
    }

private:
    std::vector<std::string>* log_;
};

class AppletFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        TAppletServices& s = AppletServices();
        s.MakeDdeClient = [this]() -> std::unique_ptr<TDdeClientPort> {
            auto d = std::make_unique<TFakeDde>(&log);
            d->connectAnswer = hostAnswers ? 7 : 0;
            dde = d.get();
            return d;
        };
        s.MakeWaveIn = [this]() -> std::unique_ptr<TWaveInPort> {
            auto w = std::make_unique<TFakeWaveIn>(&log, waveFailures);
            w->deliverOnReset = true;
            wave = w.get();
            return w;
        };
        s.MakeSettings = [this]() -> std::unique_ptr<TSettingsPort> {
            return std::make_unique<TFakeSettings>(&store, &log);
        };
        s.ProcessMessages = [] { QCoreApplication::processEvents(); };
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    TRecordingApplet* Make(TAppletTraits traits)
    {
        auto* a = new TRecordingApplet(3, std::move(traits), &log);
        a->FormCreate();
        return a;
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeDde* dde = nullptr;
    TFakeWaveIn* wave = nullptr;
    bool hostAnswers = true;
    std::vector<int> waveFailures;
};

TAppletTraits CtcssLike()
{
    TAppletTraits t;
    t.KeyName = "CTCSS";
    t.Items = {"ScanState"};
    t.DestroyOrder = {dsDde, dsSoundInput, dsRecordingFile, dsSettings};
    return t;
}

TEST_F(AppletFrame, CreationConnectsToTheReceiversTopicAndAdvisesItsItems)
{
    std::unique_ptr<TRecordingApplet> a(Make(CtcssLike()));
    EXPECT_FALSE(a->Failed());
    EXPECT_THAT(log, ElementsAre("openkey \\Software\\Korvanta Communications\\Quenda\\CTCSS", "waveopen",
                                 "start 4x4096", "init 2093072", "connect Korvanta|Korvanta #3",
                                 "advstart 7 ScanState 5000"));
    a->FormDestroy();
}

TEST_F(AppletFrame, FailedFlagFollowsHostAndSoundInput)
{
    struct Case {
        bool host;
        bool sound;
        bool failsWithoutSound;
        bool failed;
    };
    for (const Case& c : std::vector<Case>{{true, true, true, false},
                                           {false, true, true, true},
                                           {true, false, true, true},
                                           {true, true, false, false},
                                           {false, true, false, true}}) {
        log.clear();
        hostAnswers = c.host;
        waveFailures = c.sound ? std::vector<int>{} : std::vector<int>(20, 4);
        TAppletTraits t = CtcssLike();
        t.FailsWithoutSoundInput = c.failsWithoutSound;
        suitebox::SetHandler([](QWidget*, const std::string&, const std::string&, unsigned) { return 0; });
        std::unique_ptr<TRecordingApplet> a(Make(t));
        suitebox::SetHandler(nullptr);
        EXPECT_EQ(a->Failed(), c.failed) << c.host << c.sound << c.failsWithoutSound;
        // Advise loops start only with both a conversation and an input.
        EXPECT_EQ(std::count(log.begin(), log.end(), "advstart 7 ScanState 5000"),
                  c.host && c.sound && c.failsWithoutSound ? 1 : 0);
        a->FormDestroy();
    }
}

TEST_F(AppletFrame, DdeIsLeftAloneWhenItNeedsTheInputAndTheInputDidNotOpen)
{
    waveFailures = std::vector<int>(20, 4);
    suitebox::SetHandler([](QWidget*, const std::string&, const std::string&, unsigned) { return 0; });
    TAppletTraits t;
    t.DdeOnlyWithSoundInput = true;
    std::unique_ptr<TRecordingApplet> a(Make(t));
    suitebox::SetHandler(nullptr);
    EXPECT_TRUE(a->Failed());
    EXPECT_EQ(dde, nullptr);
}

TEST_F(AppletFrame, SettingsAreReadOnlyFromAKeyThatExistsAndAMissingValueKeepsTheDefault)
{
    const std::string key = "\\Software\\Korvanta Communications\\Quenda\\CTCSS";
    {
        std::unique_ptr<TRecordingApplet> a(Make(CtcssLike()));  // no key: LoadSettings not called
        EXPECT_EQ(std::count(log.begin(), log.end(), "load 100"), 0);
        EXPECT_TRUE(store.keys.empty());
        a->width = 321;
        a->FormDestroy();
        EXPECT_EQ(store.keys[key]["Width"], "321");
    }
    store.keys[key].clear();  // the key exists, the value does not
    log.clear();
    std::unique_ptr<TRecordingApplet> b(Make(CtcssLike()));
    EXPECT_FALSE(b->Failed());
    EXPECT_EQ(b->width, 100);
    EXPECT_EQ(std::count(log.begin(), log.end(), "load 100"), 1);
    b->FormDestroy();
}

TEST_F(AppletFrame, AdviseDataIsAlwaysAcknowledgedAndOnlyDecimalValuesOfKnownItemsAreTaken)
{
    std::unique_ptr<TRecordingApplet> a(Make(CtcssLike()));
    struct Case {
        std::string item;
        std::string data;
        std::vector<std::pair<std::string, int32_t>> values;
    };
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    const std::vector<Case> cases = {
        {"ScanState", std::string("1\0", 2), {{"ScanState", 1}}},
        {"scanstate", std::string("-5\0", 3), {{"ScanState", -5}}},
        {"ScanState", std::string("7\0trailing", 10), {{"ScanState", 7}}},
        {"ScanState", "0000000000000042", {{"ScanState", 42}}},     // 16 bytes, no terminator
        {"ScanState", "00000000000000042", {{"ScanState", 4}}},     // only the first 16 are read
        {"ScanState", "9999999999999999", {}},                      // not a 32-bit integer
        {"ScanState", std::string("x1\0", 3), {}},
        {"ScanState", "", {}},
        {"Squelch", std::string("3\0", 2), {}},
    };
    for (const Case& c : cases) {
        a->values.clear();
        TDdeTransaction tx{dde::XTYP_ADVDATA, 7, "Korvanta #3", c.item, bytes(c.data)};
        EXPECT_EQ(a->DdeCallback(tx), dde::DDE_FACK) << c.item << " " << c.data;
        EXPECT_EQ(a->values, c.values) << c.item << " " << c.data;
    }
    EXPECT_EQ(a->afterAdvise, static_cast<int>(cases.size()));
    a->FormDestroy();
}

TEST_F(AppletFrame, AppletWithoutItemsAndOtherTransactionsAnswerZero)
{
    TAppletTraits t;
    std::unique_ptr<TRecordingApplet> a(Make(t));
    EXPECT_EQ(a->DdeCallback({dde::XTYP_ADVDATA, 7, "", "ScanState", {'1', 0}}), 0u);
    EXPECT_TRUE(a->values.empty());
    for (uint32_t type : {dde::XTYP_POKE, dde::XTYP_REQUEST, dde::XTYP_REGISTER, 0x1234u})
        EXPECT_EQ(a->DdeCallback({type, 7, "", "Korvanta", {}}), 0u) << type;
    EXPECT_EQ(a->registered, 0);
    a->FormDestroy();
}

TEST_F(AppletFrame, RegistrationReconnectsOnlyWithoutAConversation)
{
    TAppletTraits t;
    t.ReconnectsOnRegister = true;
    t.FailsWithoutSoundInput = false;
    std::unique_ptr<TRecordingApplet> a(Make(t));
    ASSERT_EQ(a->Conversation(), 7u);
    EXPECT_EQ(a->DdeCallback({dde::XTYP_REGISTER, 0, "", "Korvanta", {}}), 0u);
    EXPECT_EQ(a->registered, 0);
    a->SetConversation(0);
    EXPECT_EQ(a->DdeCallback({dde::XTYP_REGISTER, 0, "", "Other", {}}), 0u);
    EXPECT_EQ(a->registered, 0);
    EXPECT_EQ(a->DdeCallback({dde::XTYP_REGISTER, 0, "", "korvanta", {}}), 0u);
    EXPECT_EQ(a->registered, 1);
    a->FormDestroy();
}

TEST_F(AppletFrame, OwnDisconnectClosesTheWindowAndAForeignOneIsIgnored)
{
    QPointer<TRecordingApplet> a(Make(CtcssLike()));
    a->show();
    EXPECT_EQ(a->DdeCallback({dde::XTYP_DISCONNECT, 99, "", "", {}}), 0u);
    QCoreApplication::processEvents();
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a->Conversation(), 7u);

    log.clear();
    EXPECT_EQ(a->DdeCallback({dde::XTYP_DISCONNECT, 7, "", "", {}}), 0u);
    EXPECT_EQ(a->Conversation(), 0u);
    for (int i = 0; i < 5 && !a.isNull(); ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(a.isNull());
    // The conversation is gone: no advise stop and no disconnect, but the instance is let go and settings written.
    EXPECT_THAT(log, ElementsAre("uninit", "reset", "close", "recording file",
                                 "openkey create \\Software\\Korvanta Communications\\Quenda\\CTCSS"));
}

TEST_F(AppletFrame, BuffersAreHandledAndQueuedAgainButIgnoredWhileClosing)
{
    std::unique_ptr<TRecordingApplet> a(Make(CtcssLike()));
    int16_t s[8] = {};
    wave->OnData(2, s, 8);
    EXPECT_THAT(a->buffers, ElementsAre(8u));
    EXPECT_EQ(log.back(), "requeue 2");
    log.clear();
    a->FormDestroy();  // the fake hands a buffer back during the reset
    EXPECT_THAT(a->buffers, ElementsAre(8u));
    EXPECT_EQ(std::count(log.begin(), log.end(), "requeue 0"), 0);
}

// An applet that queues its one buffer itself and pokes an owned data handle.
class TQueueingApplet : public TAppletForm {
public:
    TQueueingApplet() : TAppletForm(3, CtcssLike()) {}
    using TAppletForm::CreateDataHandle;
    using TAppletForm::PokeDataHandle;
    using TAppletForm::QueueCaptureBuffer;
    int buffers = 0;

protected:
    int CaptureBufferCount() const override { return 1; }
    int CaptureBufferBytes() const override { return 8192; }
    int CaptureBuffersQueuedAtStart() const override { return 0; }
    bool RequeueAfterData() const override { return false; }
    void WaveInData(const int16_t*, size_t) override { ++buffers; }
};

TEST_F(AppletFrame, CaptureCanStartIdleAndDataHandlesLastAsLongAsTheInstance)
{
    auto a = std::make_unique<TQueueingApplet>();
    a->FormCreate();
    EXPECT_EQ(std::count(log.begin(), log.end(), "start 1x8192 queued 0"), 1);
    const int one = a->CreateDataHandle("1");
    EXPECT_NE(one, 0);
    log.clear();
    a->QueueCaptureBuffer(0);
    int16_t s[4] = {};
    wave->OnData(0, s, 4);
    EXPECT_EQ(a->buffers, 1);
    EXPECT_THAT(log, ElementsAre("requeue 0"));  // queued by the applet only, not again after the data
    EXPECT_FALSE(a->PokeDataHandle("ScanState", one, dde::TIMEOUT_ASYNC));  // the fake host refuses; sent anyway
    EXPECT_FALSE(a->PokeDataHandle("ScanState", one + 1, dde::TIMEOUT_ASYNC));
    EXPECT_THAT(dde->pokes, ElementsAre(std::vector<uint8_t>{'1', 0}));
    EXPECT_EQ(log.back(), "poke 7 ScanState 2 -1");
    a->FormDestroy();
    log.clear();
    a->QueueCaptureBuffer(0);
    EXPECT_FALSE(a->PokeDataHandle("ScanState", one, dde::TIMEOUT_ASYNC));
    EXPECT_EQ(a->CreateDataHandle("1"), 0);
    EXPECT_TRUE(log.empty());
}

// Each applet's row: its traits and the order its window is taken down in.
struct Row {
    const char* name;
    TAppletTraits traits;
    std::vector<std::string> steps;
};

std::vector<Row> Rows()
{
    auto traits = [](std::string key, std::vector<std::string> items, std::vector<TDestroyStep> order) {
        TAppletTraits t;
        t.KeyName = std::move(key);
        t.Items = std::move(items);
        t.DestroyOrder = std::move(order);
        return t;
    };
    TAppletTraits recorder = traits("Squelch Controlled Recorder", {"SignalStrength", "Squelch", "Mute"},
                                    {dsStop, dsDde, dsRecordingFile, dsCaptureBuffers, dsSettings});
    recorder.AdviseStopOnDestroy = false;
    recorder.FailsWithoutSoundInput = false;
    recorder.DdeFlags = dde::APPCLIENT_WATCHER;
    return {
        {"scope", traits("Audio Scope and Analyser", {}, {dsDde, dsSoundInput, dsSettings}),
         {"DDE", "sound input", "settings"}},
        {"packet", traits("Packet", {}, {dsDde, dsLog, dsSettings, dsSoundInput}),
         {"DDE", "log", "settings", "sound input"}},
        {"dtmf", traits("DTMF", {}, {dsDde, dsLog, dsSettings, dsSoundInput}),
         {"DDE", "log", "settings", "sound input"}},
        {"ctcss", traits("CTCSS", {"ScanState"}, {dsDde, dsSoundInput, dsRecordingFile, dsSettings}),
         {"advise stop ScanState", "DDE", "sound input", "recording file", "settings"}},
        {"classifier", traits("", {"ScanState"}, {dsDde, dsSoundInput}),
         {"advise stop ScanState", "DDE", "sound input"}},
        {"acars", traits("ACARS", {}, {dsDde, dsSoundInput, dsLog, dsSettings}),
         {"DDE", "sound input", "log", "settings"}},
        {"recorder", recorder, {"stop", "DDE", "recording file", "capture buffers", "settings"}},
    };
}

TEST_F(AppletFrame, EachAppletIsTakenDownInItsOwnOrder)
{
    for (const Row& row : Rows()) {
        log.clear();
        std::unique_ptr<TRecordingApplet> a(Make(row.traits));
        ASSERT_FALSE(a->Failed()) << row.name;
        log.clear();
        a->FormDestroy();
        a->FormDestroy();  // once only
        std::vector<std::string> steps;
        for (const std::string& line : log) {
            if (line == "uninit")
                steps.push_back("DDE");
            else if (line == "close")
                steps.push_back("sound input");
            else if (line.rfind("openkey create", 0) == 0)
                steps.push_back("settings");
            else if (line.rfind("advstop 7 ", 0) == 0)
                steps.push_back("advise stop " + line.substr(10, line.rfind(' ') - 10));
            else if (line == "stop" || line == "log" || line == "recording file" || line == "capture buffers")
                steps.push_back(line);
        }
        EXPECT_THAT(steps, ElementsAreArray(row.steps)) << row.name;
        EXPECT_EQ(std::count(log.begin(), log.end(), "disconnect 7"), 1) << row.name;
    }
}

}  // namespace

namespace {

// Each item of a menu as "text [shortcut] {checked} (tag) -disabled", "---" for a separator and
// "text >" for a submenu.
std::vector<std::string> Describe(const QMenu* menu)
{
    std::vector<std::string> items;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            items.push_back("---");
            continue;
        }
        std::string text = a->text().toStdString();
        if (a->menu())
            text += " >";
        if (!a->shortcut().isEmpty())
            text += " [" + a->shortcut().toString().toStdString() + "]";
        if (a->isCheckable())
            text += a->isChecked() ? " {x}" : " { }";
        if (a->data().toInt() != 0)
            text += " (" + std::to_string(a->data().toInt()) + ")";
        if (!a->isEnabled())
            text += " -disabled";
        items.push_back(text);
    }
    return items;
}

QMenu* TopMenu(QMainWindow& w, const QString& title)
{
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

TAppletTraits RecorderLikeMenus()
{
    TAppletTraits t;
    t.Caption = "Squelch Controlled Recorder";
    t.ClientWidth = 257;
    t.ClientHeight = 147;
    t.Border = bsSingle;
    t.HelpContext = 109;
    TMenuItem props = MenuItem("&Properties...", "Properties1Click");
    props.Enabled = false;
    t.MainMenu.push_back(SubMenu("&File", "File1",
                                 {MenuItem("&New", "New1Click", "Ctrl+N"), props, MenuSeparator(),
                                  MenuItem("E&xit", "Exit1Click", "Alt+X", mcExit)}));
    std::vector<TMenuItem> rates;
    for (int rate : {11025, 22050, 44100}) {
        TMenuItem item = MenuItem(std::to_string(rate) + " Hz", "SamplingRateClick");
        item.RadioGroup = 2;
        item.Tag = rate;
        item.Checked = rate == 11025;
        rates.push_back(item);
    }
    TMenuItem squelch = MenuItem("&Squelch controlled", "Squelchcontrolled1Click");
    squelch.Checked = true;
    t.MainMenu.push_back(SubMenu("&Options", "Options1", {SubMenu("&Audio format", "Audioformat1", rates), squelch}));
    t.MainMenu.push_back(HelpMenuBarEntry());
    return t;
}

}  // namespace

TEST_F(AppletFrame, MenuBarIsBuiltAsTheRecordListsIt)
{
    TRecordingApplet a(3, RecorderLikeMenus(), &log);
    std::vector<std::string> titles;
    for (QAction* m : a.menuBar()->actions())
        titles.push_back(m->text().toStdString());
    EXPECT_THAT(titles, ElementsAre("&File", "&Options", "&Help"));
    EXPECT_THAT(Describe(TopMenu(a, "&File")),
                ElementsAre("&New [Ctrl+N]", "&Properties... -disabled", "---", "E&xit [Alt+X]"));
    EXPECT_THAT(Describe(TopMenu(a, "&Options")), ElementsAre("&Audio format >", "&Squelch controlled {x}"));
    EXPECT_THAT(Describe(a.findChild<QMenu*>("Audioformat1")),
                ElementsAre("11025 Hz {x} (11025)", "22050 Hz { } (22050)", "44100 Hz { } (44100)"));
    EXPECT_THAT(Describe(TopMenu(a, "&Help")), ElementsAre("&Contents [F1]", "---", "&About..."));
    EXPECT_EQ(a.HelpMenu(), TopMenu(a, "&Help"));
    EXPECT_EQ(a.windowTitle(), "Squelch Controlled Recorder");
}

TEST_F(AppletFrame, MenuItemsReachTheAppletByNameWithRadioGroupsExclusive)
{
    int helpContext = -1;
    AppletServices().ShowHelpContext = [&](int context) { helpContext = context; };
    TRecordingApplet a(3, RecorderLikeMenus(), &log);
    QList<QAction*> rates = a.findChild<QMenu*>("Audioformat1")->actions();
    ASSERT_EQ(rates.size(), 3);
    rates[2]->trigger();
    EXPECT_FALSE(rates[0]->isChecked());
    EXPECT_TRUE(rates[2]->isChecked());
    a.MenuAction("Squelchcontrolled1Click")->trigger();
    EXPECT_THAT(log, ElementsAre("menu SamplingRateClick checked 1", "menu Squelchcontrolled1Click checked 0"));
    a.MenuAction("Contents1Click")->trigger();
    EXPECT_EQ(helpContext, 109);
    EXPECT_EQ(a.MenuAction("NoSuchItem"), nullptr);
    // Exit closes the window through the frame; nothing reaches the applet's own handler.
    log.clear();
    a.show();
    a.setAttribute(Qt::WA_DeleteOnClose, false);
    a.MenuAction("Exit1Click")->trigger();
    EXPECT_FALSE(a.isVisible());
    EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& l) { return l.rfind("menu", 0) == 0; }));
}

TEST_F(AppletFrame, PopUpHelpMenuReplacesTheMenuBarAndItsShortCutWorksInTheWindow)
{
    TAppletTraits t;
    t.HelpContext = 108;
    t.PopupHelpMenu = HelpMenuItems();
    int helpContext = -1;
    AppletServices().ShowHelpContext = [&](int context) { helpContext = context; };
    TRecordingApplet a(3, t, &log);
    EXPECT_EQ(a.findChild<QMenuBar*>(), nullptr);
    ASSERT_NE(a.HelpMenu(), nullptr);
    EXPECT_THAT(Describe(a.HelpMenu()), ElementsAre("&Contents [F1]", "---", "&About..."));
    // F1 belongs to the window as well, so it works without the menu being open.
    QAction* contents = a.MenuAction("Contents1Click");
    EXPECT_TRUE(a.actions().contains(contents));
    contents->trigger();
    EXPECT_EQ(helpContext, 108);
}

TEST_F(AppletFrame, WindowHasTheRecordsClientSizeAndBorder)
{
    struct Case {
        TFormBorder border;
        bool menuBar;
        bool fixed;
    };
    for (const Case& c : std::vector<Case>{{bsSingle, false, true}, {bsSingle, true, true},
                                           {bsDialog, false, true}, {bsSizeable, true, false}}) {
        SCOPED_TRACE(std::to_string(c.border) + (c.menuBar ? " with menu bar" : ""));
        TAppletTraits t;
        t.ClientWidth = 300;
        t.ClientHeight = 200;
        t.Border = c.border;
        if (c.menuBar)
            t.MainMenu = {HelpMenuBarEntry()};
        std::unique_ptr<TRecordingApplet> a(Make(t));
        a->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(a->Client()->size(), QSize(300, 200));
        const int menuHeight = c.menuBar ? a->menuBar()->height() : 0;
        EXPECT_EQ(a->size(), QSize(300, 200 + menuHeight));
        EXPECT_EQ(a->minimumSize() == a->maximumSize(), c.fixed);
        EXPECT_EQ(bool(a->windowFlags() & Qt::WindowMaximizeButtonHint), !c.fixed);
        a->FormDestroy();
    }
}

TEST_F(AppletFrame, WindowIsCentredAtItsFinalSize)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    auto centred = [&](const QWidget& w) {
        const QRect f = w.frameGeometry();
        return QPoint(screen.left() + (screen.width() - f.width()) / 2,
                      screen.top() + (screen.height() - f.height()) / 2);
    };
    // Centred by the frame at creation.
    TAppletTraits t;
    t.ClientWidth = 491;
    t.ClientHeight = 143;
    t.MainMenu = {HelpMenuBarEntry()};
    std::unique_ptr<TRecordingApplet> a(Make(t));
    EXPECT_EQ(a->pos(), centred(*a));
    EXPECT_GT(a->height(), 143);
    a->FormDestroy();

    // Centred by the form when it is first shown, wherever it was moved before.
    t.Centred = false;
    t.Position = poScreenCenter;
    std::unique_ptr<TRecordingApplet> b(Make(t));
    b->move(3, 4);
    b->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(b->pos(), centred(*b));
    b->FormDestroy();

    // Neither: the window stays where it was put.
    t.Position = poDesigned;
    std::unique_ptr<TRecordingApplet> c(Make(t));
    c->move(3, 4);
    c->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(c->pos(), QPoint(3, 4));
    c->FormDestroy();
}
