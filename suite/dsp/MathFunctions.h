#pragma once
// The modified Bessel function I0, for the Kaiser windows of the suite's filters and spectra.

// I0(x) by its power series, stopping once a term (before squaring) is no more than 1e-7.
double ModifiedBesselI0(double x);

// The scaled Kaiser window of the FFT and the DFT at r in [-1, 1] from the centre:
// 2.267 * I0(7.8 * sqrt(1 - r^2)) / I0(7.8).
double ScaledKaiserWindow(double r);
