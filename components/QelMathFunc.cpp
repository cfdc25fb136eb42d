#include "QelMathFunc.h"

double BesselI0(double x) {
    // Sum of ((x/2)^k / k!)^2, stopped at the first term whose unsquared value is 1e-8 or less.
    const double h = x / 2.0;
    double t = h;
    double s = 1.0;
    double k = 1.0;
    while (t > 1e-8) {
        s += t * t;
        k += 1.0;
        t = (h / k) * t;
    }
    return s;
}
