// The MPT1327 window with fake sound and receivers: one count of buffers since tuning shared by the
// window and the decoder, buffers arriving while one is decoded, and the cost of opening a window.
#include "MPT1327WindowFixture.h"
#include "QelCPUDetect.h"
#include "platform/ui/MessageBox.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

using MPT1327Buffers = MPT1327FakeWindow;

std::vector<int16_t> Silence() { return std::vector<int16_t>(4096, 0); }

TEST_F(MPT1327Buffers, DoubleClickOnACallRestartsTheOneBufferCountWithASecondaryReceiver)
{
    TMPT1327Form* form = Start();
    ASSERT_NE(form, nullptr);
    form->InputTest.State = 2;  // the input-channel test is over
    QAction second("Korvanta #2");
    second.setData(2);
    form->None1Click(&second);
    ASSERT_TRUE(form->Secondary().InUse());
    form->SelectSystem(0x1234);
    form->Decoder().SetControlChannel(20);
    form->Decoder().AddCall(1, 100, 200, 100);

    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(wave->Deliver(Silence()));
    EXPECT_EQ(form->BuffersSinceTune, 3);
    form->Decoder().DoubleClick(1);
    EXPECT_EQ(receivers.State(2).Frequency, uint32_t(form->Decoder().FrequencyOfChannel(100)));
    EXPECT_EQ(form->BuffersSinceTune, 0);
    ASSERT_TRUE(wave->Deliver(Silence()));
    EXPECT_EQ(form->BuffersSinceTune, 1);
    EXPECT_EQ(form->Decoder().BuffersSinceTune(), 1);
}

// Records how deep the decoder is entered, and raises a box while it decodes the first buffer.
class BoxInsideTheDecoder : public TMPT1327Form {
public:
    using TMPT1327Form::TMPT1327Form;
    int depth = 0, deepest = 0;
    std::vector<int16_t> firstSamples;  // first sample of each buffer decoded, in order
    std::function<void()> onFirst;

protected:
    void ProcessSamples(const int16_t* first, uint32_t count, uint32_t stride) override
    {
        ++depth;
        deepest = std::max(deepest, depth);
        firstSamples.push_back(first[0]);
        if (firstSamples.size() == 1 && onFirst)
            onFirst();
        TMPT1327Form::ProcessSamples(first, count, stride);
        --depth;
    }
};

TEST_F(MPT1327Buffers, BuffersArrivingWhileABoxIsUpWaitAndAreDecodedInOrderAfterwards)
{
    BoxInsideTheDecoder* form = Start<BoxInsideTheDecoder>();
    ASSERT_NE(form, nullptr);
    form->InputTest.State = 2;
    auto buffer = [](int16_t mark) {
        std::vector<int16_t> b(4096, 0);
        for (size_t i = 1; i < b.size(); i += 2)
            b[i] = mark;  // the data channel starts as the second sample of each frame
        return b;
    };
    // The box's event loop delivers the next two buffers.
    platform::MessageBox::SetHandler([&](const std::string&, const std::string&, unsigned) {
        wave->Deliver(buffer(2));
        wave->Deliver(buffer(3));
        return platform::IDOK;
    });
    form->onFirst = [] { platform::MessageBox::Show("Cannot access the special database file!", "Fatal Error"); };
    ASSERT_TRUE(wave->Deliver(buffer(1)));
    platform::MessageBox::SetHandler({});
    EXPECT_EQ(form->deepest, 1);
    EXPECT_EQ(form->firstSamples, (std::vector<int16_t>{1, 2, 3}));
    EXPECT_EQ(form->BuffersSinceTune, 3);
    ASSERT_TRUE(wave->Deliver(buffer(4)));
    EXPECT_EQ(form->firstSamples.back(), 4);
}

TEST_F(MPT1327Buffers, TwentyWindowsOpenedAndClosedIdentifyTheProcessorOnce)
{
    constexpr int kWindows = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWindows; ++i) {
        TMPT1327Form* form = Start();
        ASSERT_NE(form, nullptr);
        form->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        OrvFrameResetForTest();
    }
    const double perWindowMs = double(clock.nsecsElapsed()) / 1e6 / kWindows;
    EXPECT_EQ(TQelCPUDetect::ProcessDetections(), 1);
    std::printf("start-up and close per window: %.2f ms\n", perWindowMs);
    RecordProperty("StartupMsPerWindow", std::to_string(perWindowMs));
}

}  // namespace
