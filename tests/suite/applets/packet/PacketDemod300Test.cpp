// The 300 bit/s demodulator against a plain copy of it written out here (the band-pass summed
// output by output in the plain loop, every output scanned for its sign): the same frames, status
// texts, tones and frame receiver state after every block, on generated frames with noise at both
// tone pairs and on noise, extremes, silence, runs and a tiny signal; with the band-pass estimate
// as in use and with every output summed exactly.
#include "Ax25.h"
#include "PacketDecoder.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace ax = siggen::ax25;

constexpr int32_t kBlock = 4096;

std::string Render(const std::vector<TPacketTextItem>& items)
{
    std::string s;
    for (const auto& it : items)
        s += it.Text + "/" + std::to_string(it.Color) + "/" + std::to_string(it.Style) + "|";
    return s;
}

// Every call the decoder makes, in order, as text.
struct Log : TPacketOutput {
    std::vector<std::string> calls;
    void FramePrinted(std::vector<TPacketTextItem> items) override { calls.push_back("frame " + Render(items)); }
    void StatusUpdate(const char* text, bool repaint) override
    {
        calls.push_back(std::string("status ") + (text ? text : "(none)") + (repaint ? " repaint" : ""));
    }
    void TonesFound(int32_t lower, int32_t upper) override
    {
        calls.push_back("tones " + std::to_string(lower) + " " + std::to_string(upper));
    }
};

// The 300 bit/s path as it was first written: the plain band-pass loop over every output, the
// tone search on the output block and the demodulator visiting every sample.
class PlainDemod300 : private TPacketHdlcSink {
public:
    explicit PlainDemod300(TPacketOutput& out) : out_(out), hdlc_(*this)
    {
        TFIRRec design;
        DesignBandPassFIR(design, kBlock, 101, 0.034013605442176874, 0.018140589569160998);
        coef_.assign(design.Coef, design.Coef + 51);
        input_.assign(100 + kBlock, 0);
    }

    void Block(const int16_t* block)
    {
        for (int32_t n = 0; n < kBlock; ++n)
            input_[100 + n] = block[n];
        for (int32_t n = 0; n < kBlock; ++n) {
            const int32_t e = 50 + n;
            double acc = input_[e] * coef_[50];
            for (int32_t i = 1; i <= 50; ++i)
                acc += (input_[e + i] + input_[e - i]) * coef_[50 - i];
            y_[n] = static_cast<int32_t>(std::nearbyint(acc));
        }
        std::copy(input_.end() - 100, input_.end(), input_.begin());

        double f1 = 0, f2 = 0;
        if (!FindTones(f1, f2)) {
            lower_ = upper_ = 0;
            out_.StatusUpdate("Stand by", false);
            out_.TonesFound(0, 0);
            out_.StatusUpdate(nullptr, true);
            prevOutput_ = y_[kBlock - 1];
            prevCrossing_ = static_cast<float>(double(prevCrossing_) - kBlock);
            lastChange_ -= kBlock;
            return;
        }
        lower_ = std::min(f1, f2);
        upper_ = std::max(f1, f2);
        const double threshold = (f1 + f2) * 0.5;
        for (int32_t n = 0; n < kBlock; ++n) {
            const int32_t u = y_[n], v = prevOutput_;
            if (int64_t(u) * v < 0 || (v == 0 && u != 0)) {
                const double w = n - double(v) / (double(u) - double(v)) - 1;
                const double x = prevCrossing_;
                const bool d = 22050.0 / (w - x) > threshold;
                if (d != pending_ || d == line_) {
                    pending_ = d;
                } else {
                    hdlc_.HandleRun((static_cast<int64_t>(std::nearbyint(x - double(lastChange_))) + 73) / 147);
                    line_ = d;
                    lastChange_ = static_cast<int64_t>(std::nearbyint(x));
                }
                prevCrossing_ = static_cast<float>(w);
            }
            prevOutput_ = u;
        }
        out_.TonesFound(static_cast<int32_t>(std::nearbyint(lower_)), static_cast<int32_t>(std::nearbyint(upper_)));
        out_.StatusUpdate(nullptr, true);
        prevCrossing_ = static_cast<float>(double(prevCrossing_) - kBlock);
        lastChange_ -= kBlock;
    }

    TPacketHdlc& Hdlc() { return hdlc_; }
    double lower_ = 0, upper_ = 0;

private:
    int32_t FindCrossing(int32_t start, double& t) const
    {
        for (int32_t j = start < 0 ? 0 : start; j < kBlock - 2; ++j) {
            if (int64_t(y_[j]) * y_[j + 1] <= 0 && y_[j + 1] != 0) {
                t = j - double(y_[j]) / (double(y_[j + 1]) - double(y_[j]));
                return j;
            }
        }
        return -1;
    }

    bool FindTones(double& f1, double& f2) const
    {
        int32_t start = 0;
        auto triple = [&](double& h1, double& h2) {
            double t1, t2, t3;
            const int32_t j1 = FindCrossing(start, t1);
            if (j1 < 0)
                return false;
            const int32_t j2 = FindCrossing(j1 + 1, t2);
            if (j2 < 0)
                return false;
            const int32_t j3 = FindCrossing(j2 + 1, t3);
            if (j3 < 0)
                return false;
            h1 = t2 - t1;
            h2 = t3 - t2;
            start = j3 + 1;
            return true;
        };
        double h1, h2;
        for (;;) {
            if (!triple(h1, h2))
                return false;
            f1 = 44100.0 / (h1 + h2);
            if (0.7 * h2 <= h1 && h1 <= 1.3 * h2 && f1 > 500 && f1 < 2500)
                break;
        }
        for (;;) {
            if (!triple(h1, h2))
                return false;
            f2 = 44100.0 / (h1 + h2);
            if (0.98 * h2 <= h1 && h1 <= 1.02 * h2 && f2 > 500 && f2 < 2500 && std::fabs(f1 - f2) > 100)
                return true;
        }
    }

    void FrameReceived(const uint8_t* bytes, int32_t length, bool fcsGood) override
    {
        out_.FramePrinted(PrintFrame(bytes, length, fcsGood));
    }
    void StatusText(const char* text) override { out_.StatusUpdate(text, false); }

    TPacketOutput& out_;
    TPacketHdlc hdlc_;
    std::vector<double> coef_;
    std::vector<int32_t> input_;
    int32_t y_[kBlock] = {};
    bool line_ = false, pending_ = false;
    int64_t lastChange_ = 0;
    int32_t prevOutput_ = 0;
    float prevCrossing_ = 0.0f;
};

std::vector<int16_t> Afsk(double mark, double space, double snr, uint64_t seed)
{
    ax::AfskOptions o = ax::afskFor(300);
    o.mark = mark;
    o.space = space;
    o.amplitude = 0.3;
    o.gapSeconds = 0.1;
    std::vector<ax::Bytes> sent;
    for (int k = 0; k < 4; ++k)
        sent.push_back(ax::withFcs(ax::encode(
            ax::uiFrame("N0CALL-7", "APRS", "!5130.00N/00010.00W- frame " + std::to_string(k), {"WIDE1-1"}))));
    std::vector<ax::Span> spans;
    siggen::Samples s = ax::modulate(sent, o, &spans);
    if (snr < 100) {
        ax::NoiseOptions n;
        n.snrFirst = snr;
        n.snrLast = snr - 6;
        n.seed = seed;
        ax::addNoise(s, spans, n, 44100);
    }
    std::vector<int16_t> pcm;
    for (double v : s)
        pcm.push_back(siggen::toPcm16(v));
    pcm.resize((pcm.size() + kBlock - 1) / kBlock * kBlock, 0);
    return pcm;
}

std::vector<int16_t> Random(const char* kind, int32_t blocks, uint64_t seed)
{
    std::mt19937_64 r(seed);
    std::vector<int16_t> pcm(static_cast<size_t>(blocks) * kBlock);
    const std::string k = kind;
    for (size_t i = 0; i < pcm.size();) {
        if (k == "noise") {
            pcm[i++] = static_cast<int16_t>(r());
        } else if (k == "extremes") {
            const int16_t v[] = {32767, -32768, 0};
            pcm[i++] = v[r() % 3];
        } else if (k == "tiny") {
            pcm[i++] = static_cast<int16_t>(static_cast<int32_t>(r() % 41) - 20);
        } else if (k == "runs") {
            const auto v = static_cast<int16_t>(r());
            for (size_t n = 1 + r() % 200; n > 0 && i < pcm.size(); --n)
                pcm[i++] = v;
        } else {
            pcm[i++] = 0;  // silence
        }
    }
    return pcm;
}

// Block after block, a tone from a start that moves sample by sample towards the end of the block,
// 1000 Hz and 1400 Hz by turns and at a phase that moves too: the tone search takes the first tone from the band-pass ringing on
// from the block before and meets the second one only at the very end of the block.
std::vector<int16_t> TonesAtTheEnd()
{
    std::vector<int16_t> pcm;
    for (int32_t b = 0; b < 240; ++b) {
        std::vector<int16_t> block(kBlock, 0);
        const double f = b % 2 ? 1000 : 1400;
        for (int32_t n = 3800 + b; n < kBlock; ++n)
            block[n] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * f * n / 44100.0 + 0.37 * b));
        pcm.insert(pcm.end(), block.begin(), block.end());
    }
    return pcm;
}

void Compare(const char* what, const std::vector<int16_t>& pcm, double boundScale)
{
    SCOPED_TRACE(testing::Message() << what << ", bound x" << boundScale);
    Log fastLog, plainLog;
    auto fast = std::make_unique<TPacketDecoder>(fastLog);
    auto plain = std::make_unique<PlainDemod300>(plainLog);
    fast->SetCrossingBoundScale(boundScale);
    for (size_t at = 0; at + kBlock <= pcm.size(); at += kBlock) {
        SCOPED_TRACE(testing::Message() << "block " << at / kBlock);
        fast->DecodeBlock(pcm.data() + at, true);
        plain->Block(pcm.data() + at);
        ASSERT_EQ(fastLog.calls, plainLog.calls);
        ASSERT_EQ(fast->LowerTone(), plain->lower_);
        ASSERT_EQ(fast->UpperTone(), plain->upper_);
        ASSERT_EQ(fast->Hdlc().Length(), plain->Hdlc().Length());
        ASSERT_EQ(fast->Hdlc().Receiving(), plain->Hdlc().Receiving());
        ASSERT_EQ(fast->Hdlc().FcsGood(), plain->Hdlc().FcsGood());
    }
}

TEST(PacketDemod300, EveryCallAndStateMatchThePlainDemodulator)
{
    struct Case {
        const char* what;
        std::vector<int16_t> pcm;
    };
    const std::vector<Case> cases = {
        {"AFSK 1270/1070 Hz, 12 to 6 dB", Afsk(1270, 1070, 12, 1)},
        {"AFSK 1400/1200 Hz, 12 to 6 dB", Afsk(1400, 1200, 12, 2)},
        {"AFSK 1270/1070 Hz, no noise", Afsk(1270, 1070, 200, 3)},
        {"full-scale noise", Random("noise", 12, 4)},
        {"extremes", Random("extremes", 6, 5)},
        {"silence", Random("silence", 3, 6)},
        {"runs of equal samples", Random("runs", 8, 7)},
        {"tiny signal", Random("tiny", 8, 8)},
        {"tones at the end of the block", TonesAtTheEnd()},
    };
    for (const Case& c : cases) {
        for (double scale : {1.0, 1e30}) {
            Compare(c.what, c.pcm, scale);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(PacketDemod300, TheComparisonSeesFrames)
{
    // The generated signals above do decode, so that the comparison covers frames and runs.
    Log log;
    auto d = std::make_unique<TPacketDecoder>(log);
    const auto pcm = Afsk(1270, 1070, 12, 1);
    for (size_t at = 0; at + kBlock <= pcm.size(); at += kBlock)
        d->DecodeBlock(pcm.data() + at, true);
    int frames = 0;
    for (const std::string& c : log.calls)
        frames += c.rfind("frame ", 0) == 0;
    EXPECT_GE(frames, 2);
}

}  // namespace
