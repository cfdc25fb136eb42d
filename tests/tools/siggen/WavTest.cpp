#include "Wav.h"

#include <gtest/gtest.h>

#include <functional>

using namespace siggen;

namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string tag(const std::vector<uint8_t>& b, size_t at)
{
    return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
}

Audio ramp(uint32_t rate, uint16_t channels, size_t frames)
{
    Audio a;
    a.rate = rate;
    a.channels = channels;
    for (size_t i = 0; i < frames * channels; ++i)
        a.samples.push_back(-1.0 + 2.0 * static_cast<double>(i) / static_cast<double>(frames * channels));
    return a;
}

}  // namespace

TEST(Wav, HeaderFieldsFollowTheFormat)
{
    struct Case {
        uint32_t rate;
        uint16_t channels, bits;
    };
    for (const Case c : {Case{11025, 1, 16}, Case{44100, 2, 16}, Case{8000, 1, 8}, Case{22050, 2, 8}}) {
        SCOPED_TRACE(std::to_string(c.rate) + "/" + std::to_string(c.channels) + "/" + std::to_string(c.bits));
        const size_t frames = 7;
        const auto b = encodeWav(ramp(c.rate, c.channels, frames), c.bits);
        const uint32_t align = c.channels * c.bits / 8;
        ASSERT_EQ(b.size(), 44 + frames * align);
        EXPECT_EQ(tag(b, 0), "RIFF");
        EXPECT_EQ(le32(b, 4), 36 + frames * align);
        EXPECT_EQ(tag(b, 8), "WAVE");
        EXPECT_EQ(tag(b, 12), "fmt ");
        EXPECT_EQ(le32(b, 16), 16u);
        EXPECT_EQ(le16(b, 20), 1u);
        EXPECT_EQ(le16(b, 22), c.channels);
        EXPECT_EQ(le32(b, 24), c.rate);
        EXPECT_EQ(le32(b, 28), c.rate * align);
        EXPECT_EQ(le16(b, 32), align);
        EXPECT_EQ(le16(b, 34), c.bits);
        EXPECT_EQ(tag(b, 36), "data");
        EXPECT_EQ(le32(b, 40), frames * align);
    }
}

TEST(Wav, SamplesAreLittleEndianRoundedAndClipped)
{
    Audio a;
    a.samples = {0.0, 1.0, -1.0, 0.5, 1.7, -3.0, 1.0 / 32767.0 * 0.49};
    const auto b = encodeWav(a, 16);
    const std::vector<int16_t> want = {0, 32767, -32767, 16384, 32767, -32768, 0};
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(static_cast<int16_t>(le16(b, 44 + 2 * i)), want[i]) << "sample " << i;

    const auto b8 = encodeWav(a, 8);
    const std::vector<uint8_t> want8 = {128, 255, 1, 192, 255, 0, 128};
    EXPECT_EQ(std::vector<uint8_t>(b8.begin() + 44, b8.end()), want8);
}

TEST(Wav, ReadsBackWhatItWrote)
{
    const Audio a = ramp(22050, 2, 50);
    const WavData w = decodeWav(encodeWav(a, 16));
    EXPECT_EQ(w.rate, 22050u);
    EXPECT_EQ(w.channels, 2u);
    EXPECT_EQ(w.bits, 16u);
    ASSERT_EQ(w.frames(), 50u);
    for (size_t i = 0; i < a.samples.size(); ++i)
        EXPECT_EQ(w.samples[i], toPcm16(a.samples[i]));

    const WavData w8 = decodeWav(encodeWav(a, 8));
    ASSERT_EQ(w8.frames(), 50u);
    EXPECT_EQ(w8.at(0, 0), -127 * 256);
    EXPECT_EQ(w8.bits, 8u);
}

TEST(Wav, MalformedFilesAreRefused)
{
    const std::vector<uint8_t> good = encodeWav(ramp(11025, 1, 10), 16);
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    const std::vector<std::pair<const char*, Edit>> cases = {
        {"short", [](auto& b) { b.resize(40); }},
        {"not RIFF", [](auto& b) { b[0] = 'X'; }},
        {"not PCM", [](auto& b) { b[20] = 3; }},
        {"24 bits", [](auto& b) { b[34] = 24; }},
        {"no channels", [](auto& b) { b[22] = 0; }},
        {"rate 0", [](auto& b) { for (size_t i = 24; i < 32; ++i) b[i] = 0; }},
        {"byte rate wrong", [](auto& b) { b[28] ^= 1; }},
        {"data beyond end", [](auto& b) { b.resize(b.size() - 2); }},
        {"RIFF size wrong", [](auto& b) { b[4] ^= 4; }},
        {"odd data size", [](auto& b) { b[40] = 19; b[4] = 36 + 19; b.pop_back(); }},
    };
    EXPECT_NO_THROW(decodeWav(good));
    for (const auto& [name, edit] : cases) {
        std::vector<uint8_t> b = good;
        edit(b);
        EXPECT_THROW(decodeWav(b), WavError) << name;
    }
}

TEST(Wav, BadFormatIsRefusedOnWriting)
{
    EXPECT_THROW(encodeWav(ramp(11025, 1, 4), 12), WavError);
    EXPECT_THROW(encodeWav(ramp(11025, 0, 4), 16), WavError);
    EXPECT_THROW(encodeWav(ramp(0, 1, 4), 16), WavError);
    EXPECT_THROW(encodeWav(ramp(0x40000000, 2, 4), 16), WavError);  // byte rate beyond 32 bits
}
