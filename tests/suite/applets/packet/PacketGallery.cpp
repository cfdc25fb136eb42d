// Pictures of the packet window: decoded frames of every kind in their colours, at 300 bit/s with
// the tuning indicator showing the two tones found, and at 1200 bit/s.
#include "Ax25.h"
#include "EventPump.h"
#include "Gallery.h"
#include "NewRichEdit.h"
#include "Packet.h"
#include "SuiteFakes.h"
#include "Wav.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <gmock/gmock.h>

namespace ax = siggen::ax25;

namespace {

class PacketGallery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
    }
    void TearDown() override { AppletServices() = TAppletServices(); }

    static std::vector<ax::Bytes> Frames()
    {
        ax::Frame aprs = ax::uiFrame("N0CALL-7", "APRS", "!5130.00N/00010.00W-Station by the river, a line long enough to wrap under its indent",
                                     {"RELAY", "WIDE2-2"});
        aprs.via[0].bit7 = true;
        ax::Frame sabm = ax::uiFrame("N1ABC", "N2XYZ-15", "");
        sabm.control = ax::uControl(0x2F, true);
        sabm.hasPid = false;
        ax::Frame info = ax::uiFrame("N2XYZ-15", "N1ABC", "Welcome to the node\rType ? for help");
        info.control = ax::iControl(0, 1);
        info.command = false;
        ax::Bytes bad = ax::withFcs(ax::encode(ax::uiFrame("M0XYZ", "CQ", "this frame was hit by noise")));
        bad.back() ^= 0x20;
        std::vector<ax::Bytes> frames;
        for (const ax::Frame& f : {aprs, sabm, info})
            frames.push_back(ax::withFcs(ax::encode(f)));
        frames.push_back(ax::withFcs(
            ax::encode(ax::nodesFrame("N9SND", "HOME", {{"N5AAA-2", "ALPHA", "N6NBR", 200}, {"N7BBB", "BRAVO", "N6NBR", 150}}))));
        frames.push_back(bad);
        return frames;
    }

    void Decode(TPacketForm& form, uint32_t baud)
    {
        ax::AfskOptions o = ax::afskFor(baud);
        o.gapSeconds = 0;  // the tones stay on to the end
        o.tailFlags = 24;
        const siggen::Samples s = ax::modulate(Frames(), o);
        std::vector<int16_t> pcm;
        for (double x : s)
            pcm.push_back(siggen::toPcm16(x));
        for (size_t at = 0; at + 4096 <= pcm.size(); at += 4096) {
            ASSERT_TRUE(testsupport::pumpUntil([&] { return form.Thread().QueuedBytes() < 0x8000; }));
            wave->OnData(0, pcm.data() + at, 4096);
        }
        ASSERT_TRUE(testsupport::pumpUntil([&] { return form.RE1()->Text().contains("hit by noise"); }, 30000));
        QCoreApplication::processEvents();
    }

    void Check(QWidget& w)
    {
        EXPECT_THAT(testsupport::captionsThatDoNotFit(w), ::testing::IsEmpty());
        EXPECT_THAT(testsupport::overlappingControls(w), ::testing::IsEmpty());
    }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
};

TEST_F(PacketGallery, WindowWithDecodedFramesAtBothRates)
{
    struct Case {
        uint32_t baud;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{{300, "suite-packet-300bps"}, {1200, "suite-packet-1200bps"}}) {
        store.keys["\\Software\\Korvanta Communications\\Quenda\\Packet"] = {{"DataRate", std::to_string(c.baud)}};
        auto* form = new TPacketForm(3);
        QPointer<TPacketForm> alive(form);
        form->FormCreate();
        ASSERT_FALSE(form->Failed());
        form->show();
        Decode(*form, c.baud);
        if (c.baud == 300) {
            EXPECT_NEAR(form->LowerTone(), 1070, 15);
            EXPECT_NEAR(form->UpperTone(), 1270, 15);
        }
        testsupport::gallerySave(*form, c.name);
        Check(*form);
        if (c.baud == 300) {
            // The Options menu with the data-rate choice.
            QMenu* options = form->OptionsMenu();
            options->popup(form->mapToGlobal(QPoint(60, 20)));
            testsupport::gallerySave(*options, "suite-packet-options-menu");
            options->hide();
        }
        form->close();
        ASSERT_TRUE(testsupport::pumpUntil([&] { return alive.isNull(); }));
    }
}

}  // namespace
