// The packet window on fake ports: captured sound decoded into the pane and the log, the data-rate
// choice with its setting, the receiver state and tuning indicator, and closing the window while a
// frame is being decoded, a hundred times.
#include "Ax25.h"
#include "EventPump.h"
#include "MulDiv.h"
#include "NewRichEdit.h"
#include "Packet.h"
#include "PacketTuning.h"
#include "SuiteFakes.h"
#include "TestSupport.h"
#include "Wav.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

using namespace platform;
namespace ax = siggen::ax25;

namespace {

const std::string kKey = "\\Software\\Korvanta Communications\\Quenda\\Packet";

std::vector<int16_t> Pcm(const siggen::Samples& s)
{
    std::vector<int16_t> pcm;
    for (double x : s)
        pcm.push_back(siggen::toPcm16(x));
    return pcm;
}

class PacketForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        AppletServices().ProcessMessages = [] { QCoreApplication::processEvents(); };
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    TPacketForm* Make(std::map<std::string, std::string> stored = {}, bool withKey = true)
    {
        if (withKey)
            store.keys[kKey] = std::move(stored);
        auto* form = new TPacketForm(3);
        form->FormCreate();
        EXPECT_FALSE(form->Failed());
        form->show();
        return form;
    }
    void Close(TPacketForm* form)
    {
        QPointer<TPacketForm> alive(form);
        form->close();
        ASSERT_TRUE(testsupport::pumpUntil([&] { return alive.isNull(); }));
    }
    // Hands the sound to the window in capture buffers of 4096 samples, no faster than the thread
    // takes it (a sound card's pace; faster, the thread would drop the oldest sound between frames).
    void Feed(TPacketForm* form, const std::vector<int16_t>& pcm, bool paced = true)
    {
        for (size_t at = 0; at < pcm.size(); at += 4096) {
            if (paced) {
                ASSERT_TRUE(testsupport::pumpUntil([&] { return form->Thread().QueuedBytes() < 0x8000; }));
            }
            std::vector<int16_t> buffer(4096, 0);
            std::copy(pcm.begin() + static_cast<long>(at), pcm.begin() + static_cast<long>(std::min(pcm.size(), at + 4096)),
                      buffer.begin());
            wave->OnData(static_cast<int>(at / 4096 % 8), buffer.data(), buffer.size());
        }
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    testsupport::TempDir dir;
};

TEST_F(PacketForm, DecodedFramesReachThePaneInColourAndTheLogWithADateLine)
{
    const std::string logFile = (dir / "PACKET.LOG").string();
    TPacketForm* form = Make({{"Log", "1"}, {"LogFileName", logFile}});
    ASSERT_TRUE(form->Logging());
    ax::Bytes bad = ax::withFcs(ax::encode(ax::uiFrame("M0XYZ", "CQ", "broken")));
    bad.back() ^= 1;
    ax::Frame good = ax::uiFrame("N0CALL-3", "CQ", "Hello\rworld", {"RELAY"});
    good.via[0].bit7 = true;  // repeated
    Feed(form, Pcm(ax::modulate({ax::withFcs(ax::encode(good)), bad}, ax::afskFor(1200))));
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->RE1()->Text().contains("broken"); }, 20000));
    EXPECT_EQ(form->RE1()->Text().toStdString(),
              "N0CALL-3\\RELAY * >CQ<V2 UI C >  :\nHello\nworld\nM0XYZ>CQ<V2 UI C >  [CRC Error] :\nbroken");
    // Addresses green, or red with the error in italics; the header maroon.
    std::string colours;
    for (const RtfRun& r : form->RE1()->Runs())
        colours += r.Text.toStdString() + "=" + std::to_string(r.Color) + "/" + std::to_string(r.Style) + " ";
    EXPECT_NE(colours.find("N0CALL-3\\RELAY * >CQ=" + std::to_string(clGreen) + "/0"), std::string::npos) << colours;
    EXPECT_NE(colours.find("<V2 UI C > =" + std::to_string(clMaroon) + "/0"), std::string::npos) << colours;
    EXPECT_NE(colours.find(" [CRC Error]=" + std::to_string(clRed) + "/2"), std::string::npos) << colours;
    EXPECT_EQ(form->StatusPanel(2)->text(), "Receiving");
    Close(form);
    // The log holds a date-time line before each frame and the frame as printed, line breaks as CR LF.
    const std::string text = testsupport::readFile(logFile);
    const size_t first = text.find("\r\n\r\nN0CALL-3\\RELAY * >CQ<V2 UI C >  :\r\nHello\r\nworld");
    ASSERT_NE(first, std::string::npos) << text;
    const size_t lineStart = text.rfind("\r\n", first - 1);
    EXPECT_GT(first - lineStart, 10u) << "a date-time line comes first";
    EXPECT_NE(text.find("\r\n\r\nM0XYZ>CQ<V2 UI C >  [CRC Error] :\r\nbroken"), std::string::npos) << text;
    EXPECT_NE(text.find("Logging stopped"), std::string::npos);
}

TEST_F(PacketForm, DataRateFollowsTheStoredSettingAndIsWrittenBack)
{
    struct Case {
        const char* what;
        bool withKey;
        std::map<std::string, std::string> stored;
        bool hf;
    };
    for (const Case& c : std::vector<Case>{{"no key", false, {}, false},
                                           {"key without the value", true, {}, false},
                                           {"300", true, {{"DataRate", "300"}}, true},
                                           {"1200", true, {{"DataRate", "1200"}}, false},
                                           {"any other value", true, {{"DataRate", "600"}}, false}}) {
        SCOPED_TRACE(c.what);
        store.keys.clear();
        TPacketForm* form = Make(c.stored, c.withKey);
        EXPECT_EQ(form->N300bpsHF1->isChecked(), c.hf);
        EXPECT_EQ(form->N1200bpsVHF1->isChecked(), !c.hf);
        EXPECT_EQ(form->Thread().Mode300(), c.hf);
        EXPECT_EQ(form->StatusPanel(1)->text(), c.hf ? "300 bps" : "1200 bps");
        EXPECT_EQ(form->StatusPanel(2)->text(), "Stand by");
        Close(form);
        EXPECT_EQ(store.keys[kKey]["DataRate"], c.hf ? "300" : "1200");
    }
    // The menu switches the thread's mode and the panel.
    TPacketForm* form = Make();
    form->N300bpsHF1->trigger();
    EXPECT_TRUE(form->Thread().Mode300());
    EXPECT_EQ(form->StatusPanel(1)->text(), "300 bps");
    EXPECT_EQ(form->LowerTone(), 0);
    form->N1200bpsVHF1->trigger();
    EXPECT_FALSE(form->Thread().Mode300());
    EXPECT_EQ(form->StatusPanel(1)->text(), "1200 bps");
    Close(form);
}

TEST_F(PacketForm, At300BitsTheTonesAreFoundAndFramesDecoded)
{
    TPacketForm* form = Make({{"DataRate", "300"}});
    const auto frame = ax::encode(ax::uiFrame("N0CALL", "CQ", "slow"));
    ax::AfskOptions o = ax::afskFor(300);
    o.gapSeconds = 0;  // the tones are there in every block
    Feed(form, Pcm(ax::modulate({ax::withFcs(frame)}, o)));
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->RE1()->Text().contains("slow"); }, 20000));
    EXPECT_NEAR(form->LowerTone(), 1070, 15);
    EXPECT_NEAR(form->UpperTone(), 1270, 15);
    // Silence: no tones, stand by.
    Feed(form, std::vector<int16_t>(4096 * 3, 0));
    ASSERT_TRUE(testsupport::pumpUntil([&] { return form->LowerTone() == 0; }));
    EXPECT_EQ(form->StatusPanel(2)->text(), "Stand by");
    Close(form);
}

TEST_F(PacketForm, ClosingWhileAFrameIsBeingDecodedNeverHangs)
{
    // A long frame, cut off in its middle by the close.
    const auto frame = ax::encode(ax::uiFrame("N0CALL", "CQ", std::string(250, 'x')));
    const auto pcm = Pcm(ax::modulate({ax::withFcs(frame)}, ax::afskFor(1200)));
    for (int round = 0; round < 100; ++round) {
        TPacketForm* form = Make();
        Feed(form, std::vector<int16_t>(pcm.begin(), pcm.begin() + static_cast<long>(pcm.size() * (round % 10 + 1) / 12)),
             round % 2 == 0);
        if (round % 3 == 0)
            QCoreApplication::processEvents();
        Close(form);
    }
}

TEST(PacketTuning, IndicatorSpans600To1600Hz)
{
    struct Case {
        int32_t lower, upper;
    };
    for (const Case& c : std::vector<Case>{{0, 0}, {1070, 1270}, {900, 1300}}) {
        const int w = 200;
        QImage image(w, 18, QImage::Format_RGB32);
        image.fill(Qt::white);
        TCanvas canvas(&image);
        DrawTuningIndicator(canvas, Rect(0, 0, w, 18), c.lower, c.upper);
        auto at = [&](int x, int y) { return canvas.Pixel(x, y); };
        auto x = [&](int hz) { return MulDiv(hz - 600, w, 1000); };
        const TColor lime = RGB(0, 255, 0), red = RGB(255, 0, 0);
        // The green bar 900..1305 Hz (end excluded) on rows 0..5, black below and around it.
        EXPECT_EQ(at(x(950), 0), lime);
        EXPECT_EQ(at(x(950), 5), lime);
        EXPECT_EQ(at(x(950), 6), clBlack);
        EXPECT_EQ(at(x(900) - 1, 3), clBlack);
        EXPECT_EQ(at(x(1305), 3), clBlack);
        EXPECT_EQ(at(x(1305) - 1, 3), lime);
        // Ticks every 100 Hz from 700 to 1500, rows 0..14.
        for (int hz = 700; hz <= 1500; hz += 100) {
            EXPECT_EQ(at(x(hz), 14), lime) << hz;
            EXPECT_EQ(at(x(hz), 15), clBlack) << hz;
        }
        EXPECT_EQ(at(x(650), 10), clBlack);
        // The red bar between the tones on rows 7..14.
        const int mid = c.lower ? (x(c.lower) + x(c.upper)) / 2 + 1 : x(1150) + 1;
        EXPECT_EQ(at(mid, 10), c.lower ? red : clBlack);
        EXPECT_EQ(at(mid, 6), clBlack);
        if (c.lower == 1070) {  // edges off the ticks
            EXPECT_EQ(at(x(c.lower), 7), red);
            EXPECT_EQ(at(x(c.upper), 7), clBlack);
            EXPECT_EQ(at(x(c.lower) - 1, 7), clBlack);
        }
    }
}

}  // namespace
