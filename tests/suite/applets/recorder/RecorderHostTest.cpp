// The recorder on the machine's services: a host on the conversation service opens and closes the
// squelch, and the sound input is a recording played at four times real time. The file grows only
// while the squelch is open, holds the open stretches of the input, and is a whole WAV after Stop.
#include "MachineHost.h"
#include "Recorder2.h"
#include "Wav.h"
#include "platform/ui/Dialogs.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>

namespace {

TRecorder2Form* FindForm() { return FindAppletWindow<TRecorder2Form>(); }

class RecorderOnHost : public MachineHostTest {
protected:
    RecorderOnHost() : MachineHostTest("input.wav", "4") {}
    void SetUp() override
    {
        siggen::Audio in;
        in.rate = 11025;
        for (size_t i = 0; i < 11025 * 30; ++i)
            in.samples.push_back(std::sin(double(i) * 0.013) * 0.5 + std::sin(double(i) * 0.29) * 0.3);
        siggen::writeWav(wav, in, 8);
        host.SetItem(kTopic, "SignalStrength", "30");
        host.SetItem(kTopic, "Squelch", "20");
        ASSERT_NO_FATAL_FAILURE(InstallOnHost());
        platform::SetDialogHandler([this](platform::TCommonDialog& d) {
            static_cast<platform::TOpenDialog&>(d).FileName = output.string();
            return true;
        });
    }
    void TearDown() override
    {
        platform::SetDialogHandler(nullptr);
        MachineHostTest::TearDown();
    }
    uintmax_t Size() const { return std::filesystem::exists(output) ? std::filesystem::file_size(output) : 0; }
    void Wait(int ms) { testsupport::pumpUntil([] { return false; }, ms); }

    std::filesystem::path output = dir / "gated.wav";
};

TEST_F(RecorderOnHost, FileGrowsOnlyWhileTheSquelchIsOpen)
{
    ASSERT_TRUE(CreateRecorderApplet(3));
    TRecorder2Form* form = FindForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->SignalStrength(), 30);
    EXPECT_EQ(form->SquelchLevel(), 20);
    form->RecordButtonClick();
    ASSERT_EQ(form->StatusText(0), "Recording");

    std::vector<uintmax_t> open;
    for (int stretch = 0; stretch < 2; ++stretch) {
        SCOPED_TRACE(stretch);
        const uintmax_t start = Size();
        ASSERT_TRUE(testsupport::pumpUntil([&] { return Size() >= start + 4 * 4096; }, 10000));
        open.push_back(Size() - start);
        // The squelch closes: once the buffer in the device has come back, nothing more is written.
        host.SetItem(kTopic, "SignalStrength", "10");
        ASSERT_TRUE(testsupport::pumpUntil([&] { return form->StatusText(0) == "Squelched"; }));
        Wait(150);
        const uintmax_t held = Size();
        Wait(600);  // more than two seconds of input at four times real time
        EXPECT_EQ(Size(), held);
        host.SetItem(kTopic, "SignalStrength", "25");
        ASSERT_TRUE(testsupport::pumpUntil([&] { return form->StatusText(0) == "Recording"; }));
    }
    const uintmax_t beforeStop = Size();
    form->StopButtonClick();
    EXPECT_EQ(form->StatusText(0), "Stopped");
    EXPECT_GE(Size(), beforeStop);

    const siggen::WavData got = siggen::readWav(output);
    const siggen::WavData sent = siggen::readWav(wav);
    const std::vector<unsigned char> bytes = testsupport::readBytes(output);
    EXPECT_EQ(got.samples.size() + 44, bytes.size());  // the header's sizes are right
    ASSERT_LE(got.samples.size(), sent.samples.size());
    // The input plays on while the device is held, as a card's would: the file is the open stretches
    // of it, each whole, with the held time (over two seconds of input each) left out.
    std::vector<std::pair<size_t, size_t>> stretches;  // in the input: first sample, end
    for (size_t k = 0, from = 0; k < got.samples.size();) {
        const size_t probe = std::min<size_t>(64, got.samples.size() - k);
        const auto at = std::search(sent.samples.begin() + long(from), sent.samples.end(),
                                    got.samples.begin() + long(k), got.samples.begin() + long(k + probe));
        ASSERT_NE(at, sent.samples.end()) << "sample " << k << " is not the input's";
        size_t pos = size_t(at - sent.samples.begin()), n = 0;
        while (k + n < got.samples.size() && pos + n < sent.samples.size() && got.samples[k + n] == sent.samples[pos + n])
            ++n;
        stretches.emplace_back(pos, pos + n);
        k += n;
        from = pos + n;
    }
    // (the last is empty when Stop comes before the reopened device's first samples)
    ASSERT_GE(stretches.size(), 2u) << ::testing::PrintToString(stretches);
    ASSERT_LE(stretches.size(), 3u) << ::testing::PrintToString(stretches);
    EXPECT_EQ(stretches[0].first, 0u);
    for (size_t i = 1; i < stretches.size(); ++i)
        EXPECT_GT(stretches[i].first - stretches[i - 1].second, 2u * 11025) << i;
    EXPECT_TRUE(form->MediaPlayer().isOpen());

    ASSERT_TRUE(CloseAndWait(form));
}

}  // namespace
