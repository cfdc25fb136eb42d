#pragma once
// Mathematical helpers shared by the filter designs and the analysis windows.

// Modified Bessel function of the first kind, order 0, by its power series (x >= 0).
double BesselI0(double x);
