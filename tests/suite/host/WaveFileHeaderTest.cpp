// The suite's WAV header: byte layout when written, decoding, and the one layout the scope loads.
#include "WaveFileHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

TEST(WaveFileHeader, WritesTheCanonicalLayoutLittleEndian)
{
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, 44100, 16);
    h.SetDataSize(0x01020304);
    const auto b = h.Bytes();
    const uint8_t expected[44] = {
        'R', 'I', 'F', 'F', 0x28, 0x03, 0x02, 0x01, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0,
        2, 0, 16, 0, 'd', 'a', 't', 'a', 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(0, std::memcmp(b.data(), expected, 44));
}

TEST(WaveFileHeader, DerivedFieldsAndRiffSize)
{
    struct Case {
        uint16_t channels;
        uint32_t rate;
        uint16_t bits;
        uint16_t align;
        uint32_t bytesPerSec;
    };
    const Case cases[] = {{1, 11025, 16, 2, 22050}, {2, 44100, 16, 4, 176400}, {1, 8000, 8, 1, 8000}};
    for (const Case& c : cases) {
        const TWaveFileHeader h = TWaveFileHeader::Pcm(c.channels, c.rate, c.bits);
        EXPECT_EQ(h.BlockAlign, c.align);
        EXPECT_EQ(h.AvgBytesPerSec, c.bytesPerSec);
        EXPECT_EQ(h.RiffSize, 36u);
        EXPECT_EQ(h.DataSize, 0u);
    }
    TWaveFileHeader h;
    h.SetDataSize(1000);
    EXPECT_EQ(h.RiffSize, 1036u);
    h.SetDataSize(UINT32_MAX - 10);  // the RIFF size holds at the top instead of wrapping to a small value
    EXPECT_EQ(h.RiffSize, UINT32_MAX);
}

TEST(WaveFileHeader, DecodesWhatItWrites)
{
    TWaveFileHeader h = TWaveFileHeader::Pcm(1, 8000, 16);
    h.SetDataSize(123456);
    const auto b = h.Bytes();
    const TWaveFileHeader back = TWaveFileHeader::FromBytes(b.data());
    EXPECT_EQ(back.Bytes(), b);
    EXPECT_EQ(back.SamplesPerSec, 8000u);
    EXPECT_EQ(back.DataSize, 123456u);
    EXPECT_TRUE(back.IsMonoPcm16());
}

TEST(WaveFileHeader, TheScopeLoadsOnlyMonoSixteenBitPcmInTheCanonicalLayout)
{
    struct Case {
        const char* what;
        std::function<void(uint8_t*)> change;
        bool accepted;
    };
    const Case cases[] = {
        {"canonical", [](uint8_t*) {}, true},
        {"any rate, 8000 Hz", [](uint8_t* b) { b[24] = 0x40; b[25] = 0x1F; }, true},
        {"lying RIFF size, byte rate and block alignment", [](uint8_t* b) { b[4] = 0; b[28] = 7; b[32] = 9; }, true},
        {"two channels", [](uint8_t* b) { b[22] = 2; }, false},
        {"8 bits per sample", [](uint8_t* b) { b[34] = 8; }, false},
        {"format chunk of 18 bytes", [](uint8_t* b) { b[16] = 18; }, false},
        {"another chunk before the data", [](uint8_t* b) { std::memcpy(b + 36, "LIST", 4); }, false},
        {"not PCM", [](uint8_t* b) { b[20] = 3; }, false},
        {"RIFX", [](uint8_t* b) { b[3] = 'X'; }, false},
        {"not WAVE", [](uint8_t* b) { b[8] = 'A'; }, false},
        {"no format chunk", [](uint8_t* b) { b[12] = 'F'; }, false},
        {"channel count high byte", [](uint8_t* b) { b[23] = 1; }, false},
    };
    for (const Case& c : cases) {
        auto b = TWaveFileHeader::Pcm(1, 44100, 16).Bytes();
        c.change(b.data());
        EXPECT_EQ(TWaveFileHeader::FromBytes(b.data()).IsMonoPcm16(), c.accepted) << c.what;
    }
}

}  // namespace
