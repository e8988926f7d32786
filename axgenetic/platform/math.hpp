// Numeric helpers with the rounding and statistics conventions the library relies on.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <cmath>
#include <cstdint>
#include <span>

namespace ax {

// Arithmetic mean; 0 for no values.
AXGENETIC_API double Mean(std::span<const double> Data);
// Mean and sample standard deviation (n - 1 in the divisor; 0 for fewer than two values).
AXGENETIC_API void MeanAndStdDev(std::span<const double> Data, double& AMean, double& AStdDev);
// Sample variance (n - 1 in the divisor); 0 for fewer than two values.
AXGENETIC_API double Variance(std::span<const double> Data);

// Base raised to Exponent; also for negative and fractional exponents.
inline double Power(double Base, double Exponent) { return std::pow(Base, Exponent); }

// -1, 0 or +1.
inline int Sign(double X) { return (X > 0) - (X < 0); }
inline int Sign(std::int64_t X) { return (X > 0) - (X < 0); }

template <class T>
constexpr T Min(T A, T B) { return B < A ? B : A; }
template <class T>
constexpr T Max(T A, T B) { return A < B ? B : A; }

// Nearest integer, halves going to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline std::int64_t Round(double X) {
    double R = std::round(X);
    if (std::fabs(X - std::trunc(X)) == 0.5) R = 2.0 * std::round(X / 2.0);
    return static_cast<std::int64_t>(R);
}

// Integer part, toward zero.
inline std::int64_t Trunc(double X) { return static_cast<std::int64_t>(std::trunc(X)); }

} // namespace ax
