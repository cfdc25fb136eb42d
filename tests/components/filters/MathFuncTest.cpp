#include "QelMathFunc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

TEST(BesselI0, KnownValues) {
    struct Case { double x, expected, tol; };
    const Case cases[] = {
        {0.0, 1.0, 0.0},
        {1.0, 1.2660658777520082, 1e-12},
        {2.0, 2.2795853023360673, 1e-12},
        {5.0, 27.239871823604442, 1e-9},
        {5.65326, 154.09027941489 / std::numbers::pi, 1e-8},
    };
    for (const Case& c : cases) EXPECT_NEAR(BesselI0(c.x), c.expected, c.tol) << c.x;
    EXPECT_NEAR(BesselI0(0.9425) * std::numbers::pi, 3.87897017645854, 5e-15);
}
