// Pictures of the scope display in each mode and of the value edit in its states.
#include <Gallery.h>
#include <QApplication>
#include <QVBoxLayout>
#include <QelScopeDisplay.h>
#include <QelValueEdit.h>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

std::vector<int16_t> tones(int n, double fs, std::initializer_list<std::pair<double, double>> parts, double noise, unsigned seed, double phase = 0)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0, noise);
    std::vector<int16_t> s(n);
    for (int i = 0; i < n; ++i) {
        double v = g(rng);
        for (auto [f, a] : parts)
            v += a * std::sin(2 * M_PI * f * i / fs + phase);
        s[i] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return s;
}

void checkLayout(QWidget& w)
{
    EXPECT_TRUE(testsupport::captionsThatDoNotFit(w).empty());
    EXPECT_TRUE(testsupport::overlappingControls(w).empty());
}

TEST(ComponentsGallery, ScopeDisplayScope)
{
    QWidget form;
    form.resize(420, 240);
    auto* d = new TQelScopeDisplay(&form);
    auto* second = new TQelScopeDisplay(&form);
    d->setGeometry(10, 10, 400, 220);
    d->SetSyncroType(sdstPositive);
    d->SetTriggerLevel(4000);
    d->SetHorzSubDivisions(true);
    d->SetHorzSubDivsLine(8);
    d->SetVertSubDivisions(true);
    d->SetVertSubDivsLine(4);
    d->SetSlave(second);
    second->SetTraceColor(0x00FFFF);
    second->SetSyncroType(sdstNone);
    d->SetTimePerDivision(500000);
    const auto a = tones(512, 11025, {{440, 20000}}, 300, 1);
    const auto b = tones(512, 11025, {{880, 9000}}, 300, 2, 1.0);
    second->WriteIntoBuffer(b.data(), 512, 1);
    d->WriteIntoBuffer(a.data(), 512, 1);
    testsupport::gallerySave(form, "components-scope-display-scope");
    checkLayout(form);
    d->SetSlave(nullptr);
    d->SetTraceType(sdttBar);
    d->SetTraceColor(0x00C000);
    d->WriteIntoBuffer(a.data(), 512, 1);
    testsupport::gallerySave(form, "components-scope-display-scope-bars");
}

TEST(ComponentsGallery, ScopeDisplayAnalyser)
{
    QWidget form;
    form.resize(420, 240);
    auto* d = new TQelScopeDisplay(&form);
    d->setGeometry(10, 10, 400, 220);
    d->SetMode(sdmAnalyser);
    d->SetFFTWindowType(fwHamming);
    d->SetFFTMarkersNum(2);
    d->SetFFTMarker(0, 1200);
    d->SetFFTMarker(1, 2200);
    const auto s = tones(512, 11025, {{1200, 16000}, {2200, 3000}, {4000, 300}}, 30, 3);
    d->WriteIntoBuffer(s.data(), 512, 1);
    testsupport::gallerySave(form, "components-scope-display-analyser");
    checkLayout(form);
    d->SetFFTLinear(true);
    d->SetTraceType(sdttBar);
    d->WriteIntoBuffer(s.data(), 512, 1);
    testsupport::gallerySave(form, "components-scope-display-analyser-linear-bars");
}

TEST(ComponentsGallery, ScopeDisplayWaterfall)
{
    QWidget form;
    form.resize(420, 240);
    auto* d = new TQelScopeDisplay(&form);
    d->setGeometry(10, 10, 400, 220);
    d->SetMode(sdmWaterfall);
    d->SetFFTWindowType(fwBlackman);
    form.show();
    QApplication::processEvents();
    // A tone gliding upwards over a weak steady one and noise.
    for (int line = 0; line < 200; ++line) {
        const auto s = tones(512, 11025, {{500 + 20.0 * line, 12000}, {3000, 600}}, 60, 10 + line);
        d->WriteIntoBuffer(s.data(), 512, 1);
    }
    testsupport::gallerySave(form, "components-scope-display-waterfall");
    checkLayout(form);
    d->SetContinuousColor(true);
    d->SetInverseWaterfall(true);
    for (int i = 0; i < 20; ++i)
        d->SetWaterfallColor(i, TQelCustomControl::InterpolatedColor(0x0000FF, 0x400000, 19, i));
    d->SetGridColor(0x00C000);  // rebuilds: the history starts again
    for (int line = 0; line < 200; ++line) {
        const auto s = tones(512, 11025, {{4500 - 20.0 * line, 12000}, {1000, 600}}, 60, 300 + line);
        d->WriteIntoBuffer(s.data(), 512, 1);
    }
    testsupport::gallerySave(form, "components-scope-display-waterfall-continuous");
}

TEST(ComponentsGallery, ValueEdit)
{
    QWidget form;
    form.resize(260, 190);
    auto* lay = new QVBoxLayout(&form);
    auto* plain = new TQelValueEdit(&form);
    auto* selected = new TQelValueEdit(&form);
    auto* right = new TQelValueEdit(&form);
    auto* disabled = new TQelValueEdit(&form);
    for (auto* e : {plain, selected, right, disabled}) {
        e->setFixedWidth(220);
        e->SetMaximum(0);
        lay->addWidget(e);
    }
    plain->SetValue(145500000);
    selected->SetValue(433920000);
    selected->SetSelBkColor(0x800000);
    selected->SetSelTextColor(0xFFFFFF);
    right->SetAlignment(taRightJustify);
    right->SetFixedPoint(fp1Hz);
    right->SetValue(7050000);
    disabled->SetValue(2500);
    disabled->setEnabled(false);
    form.show();
    selected->setFocus();
    QApplication::processEvents();
    selected->SetSelStart(3);
    selected->SetSelLength(4);
    testsupport::gallerySave(form, "components-value-edit");
    checkLayout(form);
}

} // namespace
