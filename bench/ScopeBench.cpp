// Cost of one capture buffer through the scope window at 44100 Hz: the buffer handler (trace or
// spectrum) and the painting of the display that follows it, with the window built once.
#include "FreqEdit.h"
#include "PaintPanel.h"
#include "QelBench.h"
#include "ScopeForm.h"
#include "SuiteFakes.h"

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>

#include <cmath>
#include <memory>
#include <vector>

namespace {

std::vector<std::string> portLog;
TFakeSettingsStore settingsStore;
TFakeWaveIn* wave = nullptr;

std::unique_ptr<TScopeForm> MakeForm()
{
    UseFakeServices(&portLog, &settingsStore, &wave);
    auto form = std::make_unique<TScopeForm>(1);
    form->FormCreate();
    form->show();
    QCoreApplication::processEvents();
    return form;
}

std::vector<int16_t> Tone(size_t n)
{
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = int16_t(std::lround(16000 * std::sin(2 * M_PI * 1000.0 * double(i) / 44100)));
    return s;
}

// One buffer of the trace at a timebase: the handler, then the display painted once.
void benchTrace(benchmark::State& state, int timebase, const char* kernel, bool paint)
{
    auto form = MakeForm();
    form->ScopeTimeBase->setCurrentIndex(timebase);
    form->ScopeTimeBaseChange();
    const std::vector<int16_t> buffer = Tone(size_t(form->BufferLength()));
    for (auto _ : state) {
        wave->OnData(0, buffer.data(), buffer.size());
        if (paint)
            benchmark::DoNotOptimize(form->RenderDisplay().constBits());
    }
    bench::reportRate(state, "scope trace", kernel, 44100, form->BufferLength());
    form->FormDestroy();
}

void benchSpectrum(benchmark::State& state, bool paint)
{
    auto form = MakeForm();
    form->AnalyserButton->setChecked(true);
    form->AnalyserButtonClick();
    form->FreqEdit1->SetFrequency(10000);
    form->FreqEdit2->SetFrequency(20000);
    form->FreqEditChange();
    const std::vector<int16_t> buffer = Tone(size_t(form->BufferLength()));
    for (auto _ : state) {
        wave->OnData(0, buffer.data(), buffer.size());
        if (paint)
            benchmark::DoNotOptimize(form->RenderDisplay().constBits());
    }
    bench::reportRate(state, "scope spectrum", paint ? "0-20 kHz, 1024 points, painted" : "0-20 kHz, 1024 points",
                      44100, form->BufferLength());
    form->FormDestroy();
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The buffer handler alone, then with the display painted after every buffer (each completes a screen).
    benchmark::RegisterBenchmark("scope/trace_1ms", benchTrace, 3, "1 ms/div polyline, 512 samples", false);
    benchmark::RegisterBenchmark("scope/trace_2ms", benchTrace, 4, "2 ms/div columns, 1024 samples", false);
    benchmark::RegisterBenchmark("scope/spectrum", benchSpectrum, false);
    benchmark::RegisterBenchmark("scope/trace_1ms_painted", benchTrace, 3, "1 ms/div polyline, 512 samples, painted", true);
    benchmark::RegisterBenchmark("scope/trace_2ms_painted", benchTrace, 4, "2 ms/div columns, 1024 samples, painted", true);
    benchmark::RegisterBenchmark("scope/spectrum_painted", benchSpectrum, true);
    const int result = bench::runBenchmarks(argc, argv);
    AppletServices() = TAppletServices();
    return result;
}
