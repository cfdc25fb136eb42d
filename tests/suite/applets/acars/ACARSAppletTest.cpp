// The ACARS applet window: generated audio through its capture decodes into the pane and the log,
// its own options change what is printed, and its settings are stored under its own value names.
#include "ACARS.h"
#include "Acars.h"
#include "NewRichEdit.h"
#include "SuiteFakes.h"
#include "TestSupport.h"

#include "platform/ui/Application.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kNow = "10/12/2026 14:05:09";

std::vector<int16_t> audio(const std::vector<siggen::acars::Message>& messages)
{
    siggen::Samples s(2000, 0.0);
    for (const auto& m : messages) {
        const auto one = siggen::acars::modulate(siggen::acars::frameBits(m, 64), 44100, 0.5);
        s.insert(s.end(), one.begin(), one.end());
        s.resize(s.size() + 4410, 0.0);
    }
    s.resize(s.size() + 44100, 0.0);
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = int16_t(std::lround(s[i] * 32767));
    return pcm;
}

class ACARSApplet : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseFakeServices(&log, &store, &wave);
        TAppletServices& s = AppletServices();
        s.ProcessMessages = [] { QCoreApplication::processEvents(); };
        platform::Application::SetTitle("Korvanta Quenda");
    }
    void TearDown() override
    {
        if (form)
            Destroy();
        AppletServices() = TAppletServices();
    }

    TACARSForm* Make(std::map<std::string, std::string> values = {})
    {
        if (!values.empty())
            store.keys[std::string(kSuiteKey) + "ACARS"] = std::move(values);
        form = new TACARSForm(2);
        form->Log().DateTimeText = [] { return std::string(kNow); };
        form->FormCreate();
        return form;
    }
    void Destroy()
    {
        form->FormDestroy();
        delete form;
        form = nullptr;
    }
    // The audio in capture buffers of 4096 samples, as the sound input delivers them.
    void Feed(const std::vector<int16_t>& pcm)
    {
        for (size_t at = 0; at < pcm.size(); at += 4096) {
            std::vector<int16_t> block(4096, 0);
            std::copy(pcm.begin() + at, pcm.begin() + std::min(pcm.size(), at + 4096), block.begin());
            wave->OnData(0, block.data(), block.size());
        }
    }
    std::string pane() const { return form->RE1()->Text().toStdString(); }
    std::map<std::string, std::string>& key() { return store.keys[std::string(kSuiteKey) + "ACARS"]; }

    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    platform::MessageBoxRecorder boxes;
    testsupport::TempDir dir;
    TACARSForm* form = nullptr;
};

siggen::acars::Message message(const std::string& address, const std::string& label, const std::string& text)
{
    siggen::acars::Message m;
    m.address = address;
    m.label = label;
    m.text = text;
    return m;
}

TEST_F(ACARSApplet, CaptureFormatMenusAndStatus)
{
    Make();
    ASSERT_FALSE(form->Failed());
    EXPECT_NE(std::find(log.begin(), log.end(), "start 64x8192"), log.end());
    EXPECT_EQ(form->windowTitle().toStdString(), "Aircraft Communications Addressing and Reporting System (ACARS)");
    std::vector<std::string> items;
    for (QAction* a : form->OptionsMenu()->actions())
        if (a->isVisible())
            items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"&Pause", "&Log to file...", "-", "Parity Filter", "Syntax Check",
                                               "Labels Details", "Message No. Details", "Registration Details",
                                               "Flight ID details", "-", "&Toolbar"}));
    EXPECT_EQ(form->StatusPanel(0)->text().toStdString(), "Stand by");
}

TEST_F(ACARSApplet, MessagesDecodeIntoThePaneWithDetails)
{
    Make({{"Labels Details", "1"}, {"Registration Details", "1"}, {"Message Number Details", "1"},
          {"Flight ID Details", "1"}});
    Feed(audio({message(".G-ABCD", "H1", "M01ABA0123HELLO WORLD"), message(".VPLAB", "ZZ", "F22AAA0042SECOND")}));
    EXPECT_EQ(pane(), "ACARS Mode: 2  Aircraft registration: .G-ABCD - United Kingdom  Acknowledge: No\n"
                      "Message label: H1 - Message to/from terminal  Block id: 1\n"
                      "Message no: M01A - Management Unit\n"
                      "Flight id: BA0123 - British Airways\n"
                      "Message: HELLO WORLD\n\n"
                      "ACARS Mode: 2  Aircraft registration: .VPLAB  - Antigua  Acknowledge: No\n"
                      "Message label: ZZ - Unknown  Block id: 1\n"
                      "Message no: F22A - Flight Management Computer\n"
                      "Flight id: AA0042 - American Airlines\n"
                      "Message: SECOND");
    EXPECT_EQ(form->StatusPanel(0)->text().toStdString(), "Stand by");
    // "&New" clears the pane and the next message starts without a separator.
    form->New1Click();
    Feed(audio({message(".N12345", "Q0", "S01AUS0001")}));
    EXPECT_EQ(pane().substr(0, 13), "ACARS Mode: 2");
}

TEST_F(ACARSApplet, OptionsFilterAndCheck)
{
    Make();
    auto bad = message(".N12345", "H1", "M01AXX1234X");
    // The syntax check drops a message whose STX is missing; the parity filter one with a bad character.
    auto bits = siggen::acars::frameBits(bad, 64);
    bits[64 + 8 * (4 + 13)] ^= 1;  // STX (0x02) becomes ETX (0x03) with even parity: the message ends there
    form->SyntaxCheck1->setChecked(true);
    form->ParityFilter1->setChecked(true);
    siggen::Samples s(1000, 0.0);
    const auto one = siggen::acars::modulate(bits, 44100, 0.5);
    s.insert(s.end(), one.begin(), one.end());
    s.resize(s.size() + 44100, 0.0);
    std::vector<int16_t> pcm(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        pcm[i] = int16_t(std::lround(s[i] * 32767));
    Feed(pcm);
    EXPECT_EQ(pane(), "");
    form->ParityFilter1->setChecked(false);
    form->SyntaxCheck1->setChecked(false);
    Feed(pcm);
    // Fourteen characters: printed up to the block id.
    EXPECT_EQ(pane(), "ACARS Mode: 2  Aircraft registration: .N12345  Acknowledge: No\nMessage label: H1  Block id: 1");
    // The syntax check alone drops it too: the fourteenth character is no STX.
    form->New1Click();
    form->SyntaxCheck1->setChecked(true);
    Feed(pcm);
    EXPECT_EQ(pane(), "");
}

TEST_F(ACARSApplet, LogGetsTheDateLineAndTheFields)
{
    const std::string file = (dir / "acars.log").string();
    Make({{"Log", "1"}, {"Log File Name", file}});
    ASSERT_TRUE(form->Logging());
    Feed(audio({message(".G-ABCD", "H1", "M01ABA0123LOGGED")}));
    Destroy();
    const std::string text = testsupport::readFile(file);
    EXPECT_NE(text.find(std::string("Logging started ") + kNow), std::string::npos);
    EXPECT_NE(text.find(std::string(kNow) + "\r\nACARS Mode: 2  Aircraft registration: .G-ABCD  Acknowledge: No"
                        "\r\nMessage label: H1  Block id: 1\r\nMessage no: M01A\r\nFlight id: BA0123\r\nMessage: LOGGED"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Logging stopped"), std::string::npos);
}

TEST_F(ACARSApplet, SettingsUseTheAppletsOwnNames)
{
    Make();
    form->ParityFilter1->setChecked(true);
    form->FlightDetails1->setChecked(true);
    Destroy();
    const auto& k = key();
    for (const char* name : {"Left", "Top", "Width", "Height", "Log", "Log File Name", "Paused", "Toolbar",
                             "Parity Filter", "Syntax Check", "Labels Details", "Message Number Details",
                             "Registration Details", "Flight ID Details"})
        EXPECT_EQ(k.count(name), 1u) << name;
    EXPECT_EQ(k.at("Parity Filter"), "1");
    EXPECT_EQ(k.at("Flight ID Details"), "1");
    EXPECT_EQ(k.at("Syntax Check"), "0");
    EXPECT_EQ(k.at("Log File Name"), "ACARS.LOG");
    EXPECT_EQ(k.count("LeftPosition"), 0u);
    // Read back at the next start.
    Make();
    EXPECT_TRUE(form->ParityFilter1->isChecked());
    EXPECT_TRUE(form->FlightDetails1->isChecked());
    EXPECT_FALSE(form->LabelsDetails1->isChecked());
}

TEST_F(ACARSApplet, PausedWindowDecodesNothing)
{
    Make({{"Paused", "1"}});
    EXPECT_EQ(form->StatusPanel(0)->text().toStdString(), "Paused");
    Feed(audio({message(".G-ABCD", "H1", "M01ABA0123HELLO")}));
    EXPECT_EQ(pane(), "");
}

} // namespace
