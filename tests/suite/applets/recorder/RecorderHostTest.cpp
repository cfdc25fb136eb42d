// The recorder on the machine's services: a host on the conversation service opens and closes the
// squelch, and the sound input is a recording played at four times real time. The file grows only
// while the squelch is open, holds the input in order, and is a whole WAV after Stop.
#include "MachineHost.h"
#include "Recorder2.h"
#include "Wav.h"
#include "platform/ui/Dialogs.h"

#include <gmock/gmock.h>

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
    // The input holds while the device is held, so the open stretches follow one another in it.
    EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.end(), sent.samples.begin()));
    EXPECT_TRUE(form->MediaPlayer().isOpen());

    ASSERT_TRUE(CloseAndWait(form));
}

}  // namespace
