#pragma once
// The modified Bessel function I0, for the Kaiser windows of the suite's filters and spectra.

// I0(x) by its power series, stopping once a term (before squaring) is no more than 1e-7.
double ModifiedBesselI0(double x);
