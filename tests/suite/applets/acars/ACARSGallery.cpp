// The ACARS Decoder's window with decoded messages: fields, descriptions and a character with bad
// parity in red.
#include "ACARS.h"
#include "Acars.h"
#include "Gallery.h"
#include "SuiteFakes.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ACARSGallery, WindowWithMessages)
{
    std::vector<std::string> log;
    TFakeSettingsStore store;
    TFakeWaveIn* wave = nullptr;
    UseFakeServices(&log, &store, &wave);
    store.keys[std::string(kSuiteKey) + "ACARS"] = {{"Labels Details", "1"}, {"Registration Details", "1"},
                                                     {"Message Number Details", "1"}, {"Flight ID Details", "1"}};
    auto* form = new TACARSForm(1);
    form->FormCreate();
    ASSERT_FALSE(form->Failed());
    form->show();

    struct Msg {
        const char* address;
        const char* label;
        const char* text;
        int badChar;  // index of a character sent with broken parity, -1 for none
    };
    const Msg messages[] = {
        {".G-ABCD", "H1", "M01ABA0123LONDON HEATHROW STAND 512 BOARDING COMPLETE", -1},
        {".N12345", "Q0", "S22AAA0042", -1},
        {".VPLAB", "5Z", "F11AAC0881ETA 1432 FUEL 12.4 WIND 270/15 TEMP M52", 30},
    };
    siggen::Samples audio(1000, 0.0);
    for (const Msg& m : messages) {
        siggen::acars::Message msg;
        msg.address = m.address;
        msg.label = m.label;
        msg.text = m.text;
        auto bits = siggen::acars::frameBits(msg, 64);
        if (m.badChar >= 0)
            bits[64 + 8 * (4 + m.badChar) + 7] ^= 1;
        const auto one = siggen::acars::modulate(bits, 44100, 0.5);
        audio.insert(audio.end(), one.begin(), one.end());
        audio.resize(audio.size() + 4410, 0.0);
    }
    audio.resize(audio.size() + 44100, 0.0);
    for (size_t at = 0; at + 4096 <= audio.size(); at += 4096) {
        std::vector<int16_t> block(4096);
        for (size_t i = 0; i < 4096; ++i)
            block[i] = int16_t(std::lround(audio[at + i] * 32767));
        wave->OnData(0, block.data(), block.size());
    }
    testsupport::gallerySave(*form, "acars-window-messages");
    EXPECT_TRUE(testsupport::captionsThatDoNotFit(*form).empty());
    EXPECT_TRUE(testsupport::overlappingControls(*form).empty());
    form->FormDestroy();
    delete form;
    AppletServices() = TAppletServices();
}

} // namespace
