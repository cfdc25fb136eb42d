// The classifier window on the machine's services: a host on the conversation service stops and
// restarts the scanner, and the sound input is a WAV file whose stretches of silence, noise and
// data each fill one capture buffer. The host must be asked to scan on after exactly the stops
// whose class is ticked.
#include "Classifier.h"
#include "MachineHost.h"
#include "Signal.h"

#include <QCheckBox>

#include <gmock/gmock.h>

#include <sstream>

namespace {

using Kind = siggen::Segment::Kind;

constexpr uint32_t kRate = 11025;  // the classifier's capture: mono, 16 bits

// The stretches in the order the scanner stops on them; every class comes twice, after different ones.
const std::vector<Kind> kStretches = {Kind::Silence, Kind::Noise,   Kind::Square,
                                      Kind::Noise,   Kind::Silence, Kind::Square};

siggen::Segment Stretch(Kind kind)
{
    siggen::Segment s;
    s.kind = kind;
    s.seconds = double(kClassifierSamples) / kRate;
    if (kind == Kind::Square) {
        s.freq = kRate / 32.0;
        s.amplitude = 0.6;
    } else if (kind == Kind::Noise) {
        s.amplitude = 0.25;
    }
    return s;
}

const char* Name(Kind kind)
{
    switch (kind) {
    case Kind::Silence: return "silence";
    case Kind::Noise: return "noise";
    case Kind::Square: return "data";
    default: return "?";
    }
}

// The one class the analysis found, by the same names; "none" or "several" otherwise.
std::string ClassOf(const TClassifierResult& r)
{
    const int n = int(r.Silent) + int(r.Noise) + int(r.Data);
    if (n != 1)
        return n == 0 ? "none" : "several";
    return r.Silent ? "silence" : r.Noise ? "noise" : "data";
}

TClassifierForm* FindForm() { return FindAppletWindow<TClassifierForm>(); }

class ClassifierOnHost : public MachineHostTest {
protected:
    ClassifierOnHost() : MachineHostTest("stretches.wav", "fast") {}
    void SetUp() override
    {
        std::vector<siggen::Segment> segments;
        for (Kind k : kStretches)
            segments.push_back(Stretch(k));
        siggen::Random random(4096);
        siggen::Samples samples = siggen::sequence(segments, kRate, random);
        ASSERT_EQ(samples.size(), kStretches.size() * kClassifierSamples);
        siggen::writeWav(wav, siggen::mono(std::move(samples), kRate));
        ASSERT_NO_FATAL_FAILURE(InstallOnHost());
    }

    size_t Acks() const { return host.RecordsOf(platform::dde::XTYP_ADVDATA).size(); }
    size_t Pokes() const { return host.RecordsOf(platform::dde::XTYP_POKE).size(); }
    // The pokes from `from` on that ask the scan to go on: "1" with its NUL, to ScanState.
    size_t ScanOnPokes(size_t from) const
    {
        const auto pokes = host.RecordsOf(platform::dde::XTYP_POKE);
        size_t n = 0;
        for (size_t i = from; i < pokes.size(); ++i)
            n += pokes[i].item == "ScanState" && pokes[i].topic == kTopic &&
                 pokes[i].data == std::vector<uint8_t>{'1', 0};
        return n;
    }
};

TEST_F(ClassifierOnHost, AsksToScanOnAfterExactlyTheStopsOfATickedClass)
{
    struct Case {
        bool silence, noise, data;
    };
    for (const Case& c : std::vector<Case>{{true, false, true}, {false, true, false}, {true, true, false}}) {
        SCOPED_TRACE(testing::Message() << "ticked silence " << c.silence << " noise " << c.noise << " data " << c.data);
        const size_t advstarts = host.RecordsOf(platform::dde::XTYP_ADVSTART).size();
        ASSERT_EQ(FindForm(), nullptr);
        ASSERT_TRUE(CreateClassifierApplet(3));
        TClassifierForm* form = FindForm();
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(testsupport::pumpUntil(
            [&] { return host.RecordsOf(platform::dde::XTYP_ADVSTART).size() > advstarts; }));

        // Nothing is kept from an earlier run: every box starts clear and is ticked by a click.
        for (auto [box, tick] : std::vector<std::pair<QCheckBox*, bool>>{
                 {form->CheckBox1, c.silence}, {form->CheckBox2, c.noise}, {form->CheckBox3, c.data}}) {
            ASSERT_FALSE(box->isChecked());
            if (tick)
                box->click();
            ASSERT_EQ(box->isChecked(), tick);
        }
        ASSERT_FALSE(form->CheckBox4->isChecked());

        std::vector<std::string> heard;
        std::vector<size_t> pokes, expected;
        const size_t pokesAtStart = Pokes();
        testsupport::ScopedEnv headless("KORVANTA_HEADLESS", "1");
        ::testing::internal::CaptureStdout();
        for (Kind k : kStretches) {
            const size_t from = Pokes();
            const size_t acks = Acks();
            ASSERT_EQ(host.SetItem(kTopic, "ScanState", "0"), 1);
            // The stop has been taken (its answer came back) and the buffer has been analysed.
            ASSERT_TRUE(testsupport::pumpUntil([&] { return Acks() > acks && !form->CapturePending(); }))
                << "at " << Name(k);
            heard.push_back(ClassOf(form->LastResult()));
            ASSERT_EQ(host.SetItem(kTopic, "ScanState", "1"), 1);
            // The answer to the restart follows any poke the analysis sent on the same link.
            ASSERT_TRUE(testsupport::pumpUntil([&] { return Acks() > acks + 1; })) << "at " << Name(k);
            pokes.push_back(ScanOnPokes(from));
            const bool ticked = k == Kind::Silence ? c.silence : k == Kind::Noise ? c.noise : c.data;
            expected.push_back(ticked ? 1 : 0);
        }
        const std::string out = ::testing::internal::GetCapturedStdout();
        std::vector<std::string> played;
        for (Kind k : kStretches)
            played.push_back(Name(k));
        EXPECT_EQ(heard, played);  // each stop heard the next stretch of the file
        // Headless, each measurement is written out with the class found and whether the scan goes on.
        std::istringstream lines(out);
        std::vector<std::string> reported;
        for (std::string line; std::getline(lines, line);)
            reported.push_back(line);
        ASSERT_EQ(reported.size(), kStretches.size()) << out;
        for (size_t i = 0; i < kStretches.size(); ++i) {
            const Kind k = kStretches[i];
            const std::string mark = k == Kind::Silence ? "(silent)" : k == Kind::Noise ? "(noise)" : "(data)";
            EXPECT_EQ(reported[i].rfind("Signal Classifier: silence ", 0), 0u) << reported[i];
            EXPECT_NE(reported[i].find(mark), std::string::npos) << reported[i];
            EXPECT_EQ(reported[i].find(", scan resumed") != std::string::npos, expected[i] == 1) << reported[i];
        }
        EXPECT_EQ(pokes, expected);
        EXPECT_EQ(Pokes() - pokesAtStart, size_t(std::count(expected.begin(), expected.end(), 1)));

        ASSERT_TRUE(CloseAndWait(form));
    }
}

}  // namespace
