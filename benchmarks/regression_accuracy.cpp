// Accuracy and speed of the symbolic regressor on published benchmark problems.
//
// Ground truth: Nguyen-1..8 (20 training points drawn uniformly from the problem's range)
// and Keijzer-6 (training x = 1..50, testing x = 1..120), 10 seeds each, with constant
// optimisation off and on; a run counts as solved when the chosen model's R^2 on 200 fresh
// test points (Keijzer-6: its test grid) exceeds 0.999. Friedman-1: 5,000 training rows
// with noise 1 against a least-squares linear model and the noise ceiling, on 5,000 fresh
// rows. Speed: a 1,000-row, 5-feature fit with population 1,000 for 100 generations.
//
// Options: --seeds N (10; 0 skips the ground truth), --quick (ground truth only),
// --speed-only, --threads N (1), --only NAME (repeatable), --optimize on|off; to measure
// other settings: --single, --best-error, --no-random-constants, --population N,
// --generations N, --functions SET.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/regression/regressor.hpp"

using namespace ax;

namespace {

// Settings every fit of the benchmark starts from (the regressor's defaults unless an
// option changes them).
TAxSRSettings Base;
// The constant optimisation settings measured: off, then on.
std::vector<bool> Modes = {false, true};
// Problems measured (empty: all).
std::vector<std::string> Only;

struct TProblem {
    const char* Name;
    std::function<double(double)> F;
    double Low, High; // training (and test) range, drawn uniformly
    bool Grid;        // Keijzer-6: training 1..50, test 1..120, integers
};

// "x" followed by the number (built by appending: GCC 12 warns falsely on the
// concatenation of a literal and a temporary string at -O2).
std::string XName(int Number) {
    std::string Name(1, 'x');
    Name += std::to_string(Number);
    return Name;
}

double Harmonic(double X) {
    double Sum = 0;
    for (int I = 1; I <= static_cast<int>(std::lround(X)); ++I)
        Sum += 1.0 / I;
    return Sum;
}

const TProblem Problems[] = {
    {"Nguyen-1", [](double x) { return x * x * x + x * x + x; }, -1, 1, false},
    {"Nguyen-2", [](double x) { return x * x * x * x + x * x * x + x * x + x; }, -1, 1, false},
    {"Nguyen-3", [](double x) { return std::pow(x, 5) + std::pow(x, 4) + x * x * x + x * x + x; },
     -1, 1, false},
    {"Nguyen-4",
     [](double x) {
         return std::pow(x, 6) + std::pow(x, 5) + std::pow(x, 4) + x * x * x + x * x + x;
     },
     -1, 1, false},
    {"Nguyen-5", [](double x) { return std::sin(x * x) * std::cos(x) - 1; }, -1, 1, false},
    {"Nguyen-6", [](double x) { return std::sin(x) + std::sin(x + x * x); }, -1, 1, false},
    {"Nguyen-7", [](double x) { return std::log(x + 1) + std::log(x * x + 1); }, 0, 2, false},
    {"Nguyen-8", [](double x) { return std::sqrt(x); }, 0, 4, false},
    {"Keijzer-6", Harmonic, 1, 50, true},
};

TAxGPDataSet Sample(const TProblem& P, int Rows, bool Test) {
    std::vector<double> X;
    if (P.Grid) {
        for (int I = 1; I <= (Test ? 120 : 50); ++I)
            X.push_back(I);
    } else {
        for (int I = 0; I < Rows; ++I)
            X.push_back(P.Low + (P.High - P.Low) * Random());
    }
    TAxGPDataSet Data(static_cast<int>(X.size()));
    auto XC = Data.AddColumn("x");
    auto YC = Data.AddColumn("y");
    for (std::size_t I = 0; I < X.size(); ++I) {
        XC[I] = X[I];
        YC[I] = P.F(X[I]);
    }
    return Data;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU seconds of this process (all threads), which other load on the machine changes less
// than wall time.
double CpuNow() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// One N(0, 1) draw from two uniform draws (Box-Muller).
double Gaussian() {
    const double U1 = 1 - Random(), U2 = Random();
    return std::sqrt(-2 * std::log(U1)) * std::cos(2 * 3.14159265358979323846 * U2);
}

TAxGPDataSet Friedman1(int Rows, double Noise) {
    TAxGPDataSet Data(Rows);
    std::vector<std::span<double>> X;
    for (int C = 0; C < 10; ++C)
        X.push_back(Data.AddColumn(XName(C + 1)));
    auto Y = Data.AddColumn("y");
    for (int R = 0; R < Rows; ++R) {
        const auto I = static_cast<std::size_t>(R);
        for (auto& Column : X)
            Column[I] = Random();
        Y[I] = 10 * std::sin(3.14159265358979323846 * X[0][I] * X[1][I]) +
               20 * (X[2][I] - 0.5) * (X[2][I] - 0.5) + 10 * X[3][I] + 5 * X[4][I] +
               Noise * Gaussian();
    }
    return Data;
}

// Least squares y ~ b0 + sum b_i x_i by the normal equations (Gaussian elimination).
std::vector<double> LinearFit(const TAxGPDataSet& Data, const std::vector<std::string>& Features) {
    const std::size_t K = Features.size() + 1;
    std::vector<std::vector<double>> A(K, std::vector<double>(K + 1, 0));
    const auto Y = Data.Column("y");
    for (int R = 0; R < Data.RowCount(); ++R) {
        std::vector<double> Row{1};
        for (const auto& F : Features)
            Row.push_back(Data.Column(F)[static_cast<std::size_t>(R)]);
        for (std::size_t I = 0; I < K; ++I) {
            for (std::size_t J = 0; J < K; ++J)
                A[I][J] += Row[I] * Row[J];
            A[I][K] += Row[I] * Y[static_cast<std::size_t>(R)];
        }
    }
    for (std::size_t I = 0; I < K; ++I) {
        std::size_t Pivot = I;
        for (std::size_t J = I + 1; J < K; ++J)
            if (std::fabs(A[J][I]) > std::fabs(A[Pivot][I])) Pivot = J;
        std::swap(A[I], A[Pivot]);
        for (std::size_t J = 0; J < K; ++J) {
            if (J == I) continue;
            const double F = A[J][I] / A[I][I];
            for (std::size_t L = I; L <= K; ++L)
                A[J][L] -= F * A[I][L];
        }
    }
    std::vector<double> B(K);
    for (std::size_t I = 0; I < K; ++I)
        B[I] = A[I][K] / A[I][I];
    return B;
}

double R2(const std::vector<double>& P, std::span<const double> Y) {
    double M = 0;
    for (const double V : Y)
        M += V;
    M /= static_cast<double>(Y.size());
    double SSE = 0, SST = 0;
    for (std::size_t I = 0; I < Y.size(); ++I) {
        SSE += (P[I] - Y[I]) * (P[I] - Y[I]);
        SST += (Y[I] - M) * (Y[I] - M);
    }
    return 1 - SSE / SST;
}

void GroundTruth(int Seeds, int Threads) {
    for (const bool Optimize : Modes) {
        std::printf("-- ground truth, constant optimisation %s --\n", Optimize ? "on" : "off");
        for (const TProblem& P : Problems) {
            if (!Only.empty() && std::find(Only.begin(), Only.end(), P.Name) == Only.end())
                continue;
            int Solved = 0;
            std::int64_t Evaluations = 0;
            const double Start = Now(), CpuStart = CpuNow();
            for (int Seed = 1; Seed <= Seeds; ++Seed) {
                RandSeed(static_cast<std::uint64_t>(1000 + Seed));
                const TAxGPDataSet Train = Sample(P, 20, false);
                const TAxGPDataSet Test = Sample(P, 200, true);
                TAxSymbolicRegressor SR;
                SR.SetSettings(Base);
                SR.Settings().Seed = static_cast<std::uint64_t>(Seed);
                SR.Settings().OptimizeConstants = Optimize;
                SR.Settings().Threads = Threads;
                SR.Fit(Train, "y");
                Evaluations += SR.Evaluations();
                if (SR.Score(Test, "y") > 0.999) ++Solved;
            }
            const TAxSRSettings& Defaults = Base;
            std::printf(
                "%s: solved %d of %d  (budget %d x %d = %d evaluations per run, %.0f used on "
                "average; %.2f s per run, %.2f s cpu)\n",
                P.Name, Solved, Seeds, Defaults.PopulationSize, Defaults.Generations + 1,
                Defaults.PopulationSize * (Defaults.Generations + 1),
                static_cast<double>(Evaluations) / Seeds, (Now() - Start) / Seeds,
                (CpuNow() - CpuStart) / Seeds);
            std::fflush(stdout);
        }
    }
}

void Friedman(int Threads) {
    for (const bool Optimize : Modes) {
        RandSeed(4242);
        const TAxGPDataSet Train = Friedman1(5000, 1.0);
        const TAxGPDataSet Test = Friedman1(5000, 1.0);
        std::vector<std::string> Features;
        for (int C = 1; C <= 10; ++C)
            Features.push_back(XName(C));
        const auto B = LinearFit(Train, Features);
        std::vector<double> Linear(static_cast<std::size_t>(Test.RowCount()));
        for (std::size_t R = 0; R < Linear.size(); ++R) {
            Linear[R] = B[0];
            for (std::size_t F = 0; F < Features.size(); ++F)
                Linear[R] += B[F + 1] * Test.Column(Features[F])[R];
        }
        double M = 0, Var = 0;
        const auto Y = Test.Column("y");
        for (const double V : Y)
            M += V;
        M /= static_cast<double>(Y.size());
        for (const double V : Y)
            Var += (V - M) * (V - M);
        Var /= static_cast<double>(Y.size());
        const double Start = Now();
        TAxSymbolicRegressor SR;
        SR.SetSettings(Base);
        SR.Settings().Seed = 1;
        SR.Settings().OptimizeConstants = Optimize;
        SR.Settings().Threads = Threads;
        SR.Fit(Train, "y");
        std::printf("Friedman-1: test R2 %.3f, linear R2 %.3f, noise ceiling %.3f  (constant "
                    "optimisation %s; %lld evaluations, %.1f s; model size %d: %s)\n",
                    SR.Score(Test, "y"), R2(Linear, Y), 1 - 1.0 / Var, Optimize ? "on" : "off",
                    static_cast<long long>(SR.Evaluations()), Now() - Start, SR.Model().Size,
                    SR.Model().Display.c_str());
        std::fflush(stdout);
    }
}

void Speed(int Threads) {
    for (const bool Optimize : Modes) {
        RandSeed(99);
        TAxGPDataSet Data(1000);
        std::vector<std::span<double>> X;
        for (int C = 0; C < 5; ++C)
            X.push_back(Data.AddColumn(XName(C)));
        auto Y = Data.AddColumn("y");
        for (std::size_t R = 0; R < 1000; ++R) {
            for (auto& Column : X)
                Column[R] = 2 * Random() - 1;
            Y[R] = X[0][R] * X[1][R] + std::sin(X[2][R]) - 0.5 * X[3][R] * X[4][R] * X[4][R];
        }
        TAxSymbolicRegressor SR;
        SR.SetSettings(Base);
        SR.Settings().PopulationSize = 1000;
        SR.Settings().Generations = 100;
        SR.Settings().Seed = 1;
        SR.Settings().OptimizeConstants = Optimize;
        SR.Settings().Threads = Threads;
        // The run goes the full 100 generations unless a perfect fit ends it.
        SR.Fit(Data, "y");
        const double OptimizerShare =
            SR.Log().empty() ? 0 : SR.Log().back().OptimizerSeconds / SR.FitSeconds();
        std::printf("Speed: 1000 rows, 5 features, population 1000, %d generations, %d thread(s), "
                    "constant optimisation %s: %.1f s, %.0f%% in constant optimisation, %lld "
                    "evaluations\n",
                    SR.GenerationsRun(), Threads, Optimize ? "on" : "off", SR.FitSeconds(),
                    100 * OptimizerShare, static_cast<long long>(SR.Evaluations()));
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    int Seeds = 10, Threads = 1;
    bool Quick = false, SpeedOnly = false;
    for (int I = 1; I < argc; ++I) {
        if (!std::strcmp(argv[I], "--seeds") && I + 1 < argc)
            Seeds = std::atoi(argv[++I]);
        else if (!std::strcmp(argv[I], "--threads") && I + 1 < argc)
            Threads = std::atoi(argv[++I]);
        else if (!std::strcmp(argv[I], "--quick"))
            Quick = true;
        else if (!std::strcmp(argv[I], "--speed-only"))
            SpeedOnly = true;
        else if (!std::strcmp(argv[I], "--only") && I + 1 < argc)
            Only.push_back(argv[++I]);
        else if (!std::strcmp(argv[I], "--optimize") && I + 1 < argc)
            Modes = {std::strcmp(argv[++I], "on") == 0};
        else if (!std::strcmp(argv[I], "--single"))
            Base.Selection = TSRSelection::srSingleObjective;
        else if (!std::strcmp(argv[I], "--best-error"))
            Base.ModelChoice = TSRModelChoice::smBestError;
        else if (!std::strcmp(argv[I], "--no-random-constants"))
            Base.RandomConstants = false;
        else if (!std::strcmp(argv[I], "--population") && I + 1 < argc)
            Base.PopulationSize = std::atoi(argv[++I]);
        else if (!std::strcmp(argv[I], "--generations") && I + 1 < argc)
            Base.Generations = std::atoi(argv[++I]);
        else if (!std::strcmp(argv[I], "--functions") && I + 1 < argc)
            Base.FunctionSet = argv[++I];
    }
    if (!SpeedOnly && Seeds > 0) GroundTruth(Seeds, Threads);
    if (Quick) return 0;
    if (!SpeedOnly) Friedman(Threads);
    Speed(Threads);
    return 0;
}
