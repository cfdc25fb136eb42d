// Audio responses of the receivers whose response the filter design can compensate: 2206 relative
// gains at 10 Hz steps from 0 to 22050 Hz, built once by straight lines between measured points.
#include <array>
#include <cstddef>

#include "QelFIR.h"

namespace {

struct Point {
    double hz, gain;
};

using Table = std::array<double, QelResponseEntries>;

template <std::size_t N>
Table interpolate(const Point (&points)[N]) {
    Table t{};
    std::size_t seg = 0;
    for (std::size_t j = 0; j < t.size(); ++j) {
        const double f = 10.0 * static_cast<double>(j);
        while (seg + 2 < N && f > points[seg + 1].hz) ++seg;
        const Point& a = points[seg];
        const Point& b = points[seg + 1];
        const double v = a.gain + (b.gain - a.gain) * (f - a.hz) / (b.hz - a.hz);
        t[j] = v < 0.0 ? 0.0 : v;
    }
    return t;
}

// Analogue output: peaks at 460 Hz, nothing above 16430 Hz.
const Point kMerro1XA[] = {
    {0, 0.0082},      {10, 0.0164},    {100, 0.7073},   {460, 1.8736},   {500, 1.8646},
    {1000, 1.3626},   {3000, 0.3287},  {5000, 0.1190},  {5440, 0.1005},  {5450, 0.0995},
    {10000, 0.0201},  {12000, 0.0060}, {16430, 0.0001}, {16440, 0.0},    {22050, 0.0},
};

// Discriminator output: falls from a strong low-frequency rise to 0.0104 at 22050 Hz.
const Point kMerro1XD[] = {
    {0, 7.7691},      {10, 1.8521},    {100, 1.2815},   {500, 1.2399},   {1000, 1.1881},
    {3000, 0.9235},   {5000, 0.6693},  {10000, 0.2853}, {12000, 0.1012}, {12010, 0.0998},
    {22050, 0.0104},
};

const Table& tableA() {
    static const Table t = interpolate(kMerro1XA);
    return t;
}

const Table& tableD() {
    static const Table t = interpolate(kMerro1XD);
    return t;
}

}  // namespace

const double* QelFIRResponseTable(TQelFIRCompensType type) {
    switch (type) {
    case fcMerro1X_A: return tableA().data();
    case fcMerro1X_D: return tableD().data();
    default: return nullptr;
    }
}
