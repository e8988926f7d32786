#include "axgenetic/platform/math.hpp"

namespace ax {

double Mean(std::span<const double> Data) {
    if (Data.empty()) return 0.0;
    double Sum = 0.0;
    for (double X : Data) Sum += X;
    return Sum / static_cast<double>(Data.size());
}

double Variance(std::span<const double> Data) {
    if (Data.size() < 2) return 0.0;
    const double M = Mean(Data);
    double Sum = 0.0;
    for (double X : Data) Sum += (X - M) * (X - M);
    return Sum / static_cast<double>(Data.size() - 1);
}

void MeanAndStdDev(std::span<const double> Data, double& AMean, double& AStdDev) {
    AMean = Mean(Data);
    AStdDev = std::sqrt(Variance(Data));
}

} // namespace ax
