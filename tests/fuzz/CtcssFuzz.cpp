// The CTCSS decoder's analysis on any capture: 8192-sample buffers at 11025 Hz, each decided on its
// own, the decision within the tone table and consistent with the powers it reports.
#include "FuzzTarget.h"

#include "CTCSSDetector.h"
#include "Ctcss.h"

#include <cmath>

namespace fuzz {

std::vector<Seed> Seeds()
{
    siggen::Random random(7);
    siggen::ctcss::Script tone;
    tone.pattern = {{true, double(kCTCSSBlock) / kCTCSSRate}};
    siggen::ctcss::Script quiet = tone;
    quiet.pattern = {{false, double(kCTCSSBlock) / kCTCSSRate}};
    siggen::ctcss::Script low = tone;
    low.toneHz = 67.0;
    low.speechDb = -300;  // the tone alone
    return {{"tone", Pcm16(siggen::ctcss::render(tone, kCTCSSRate, random))},
            {"speech", Pcm16(siggen::ctcss::render(quiet, kCTCSSRate, random))},
            {"low", Pcm16(siggen::ctcss::render(low, kCTCSSRate, random))}};
}

void Run(const uint8_t* data, size_t size)
{
    static TCTCSSDetector detector;  // the window keeps one for its whole life
    const std::vector<int16_t> pcm = Samples16(data, size);
    for (size_t at = 0; at < pcm.size(); at += kCTCSSBlock) {
        const TCTCSSResult r = detector.Analyse(pcm.data() + at, std::min<size_t>(kCTCSSBlock, pcm.size() - at));
        Check(r.Strongest >= 0 && r.Strongest < kCTCSSToneCount, "the strongest tone outside the table");
        Check(std::isfinite(r.Pmax) && std::isfinite(r.Sum) && r.Pmax >= 0 && r.Sum >= r.Pmax,
              "tone powers that cannot be");
        Check(r.Present == (r.Pmax > 2 * r.Sum / kCTCSSToneCount + 10000000.0), "a decision its powers do not give");
        Check(CTCSSRecords(r, r.Strongest) == r.Present, "a present tone that is not recorded");
    }
}

}  // namespace fuzz
