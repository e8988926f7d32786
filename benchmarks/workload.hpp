// Small helpers shared by the workload programs: wall-clock timing, medians, resident set.
#pragma once

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace workload {

inline double Now() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const std::size_t N = Values.size();
    return N % 2 ? Values[N / 2] : (Values[N / 2 - 1] + Values[N / 2]) / 2;
}

// Resident set size of this process in KiB (VmRSS), or -1 where /proc is not there.
inline long ResidentKiB(const char* Field = "VmRSS:") {
    std::ifstream Status("/proc/self/status");
    std::string Key;
    while (Status >> Key) {
        if (Key == Field) {
            long Value = -1;
            Status >> Value;
            return Value;
        }
        Status.ignore(1 << 16, '\n');
    }
    return -1;
}

} // namespace workload
