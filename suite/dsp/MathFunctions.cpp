#include "MathFunctions.h"

#include <cmath>

double ModifiedBesselI0(double x)
{
    // I0 is even; taking |x| keeps a negative argument from ending the series before it starts.
    const double h = std::fabs(x) / 2;
    double t = h;
    double k = 1;
    double s = 1;
    // A non-finite sum would never end the loop (an infinite term stays infinite).
    while (t > 1e-7 && std::isfinite(s)) {
        s += t * t;
        k += 1;
        t = t * h / k;
    }
    return s;
}

double ScaledKaiserWindow(double r)
{
    static const double i0Beta = ModifiedBesselI0(7.8);
    const double q = 1 - r * r;
    return 2.267 * ModifiedBesselI0(7.8 * std::sqrt(q > 0 ? q : 0)) / i0Beta;
}
