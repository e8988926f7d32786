// The workload of the parallel demo and of benchmarks/bench_parallel: a GA that fits the
// four parameters of a driven, damped oscillator to a recorded trajectory.
//
// Three fitness handlers over the same genome:
// - cpu: simulates the oscillator (fourth-order Runge-Kutta, Steps steps) and sums the
//   squared distance to the recorded trajectory: real computation, a few milliseconds;
// - latency: waits WaitMicroseconds, as a call to an outside simulator or service would,
//   then returns a cheap value: waiting, not computing;
// - trivial: the cheap value alone, to measure what evaluation itself costs.
// Each handler is a pure function of the chromosome and of data fixed before the run (the
// recorded trajectory), so it may run on several threads or ranks at once.
#pragma once

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "axgenetic/ga/genetic_algorithm.hpp"

namespace workload {

enum class TKind { Cpu, Latency, Trivial };

inline const char* KindName(TKind Kind) {
    return Kind == TKind::Cpu ? "cpu" : Kind == TKind::Latency ? "latency" : "trivial";
}

struct TParams {
    double Stiffness, Damping, Drive, Frequency;
};

// The trajectory x(t) at every Stride-th step from x = 1, v = 0.
inline std::vector<double> Simulate(const TParams& P, int Steps, int Stride = 50) {
    const double H = 20.0 / Steps;
    auto Accel = [&](double T, double X, double V) {
        return -P.Stiffness * X - P.Damping * V + P.Drive * std::sin(P.Frequency * T);
    };
    std::vector<double> Trace;
    Trace.reserve(static_cast<std::size_t>(Steps / Stride + 1));
    double X = 1, V = 0;
    for (int I = 0; I < Steps; ++I) {
        const double T = I * H;
        const double K1x = V, K1v = Accel(T, X, V);
        const double K2x = V + H / 2 * K1v,
                     K2v = Accel(T + H / 2, X + H / 2 * K1x, V + H / 2 * K1v);
        const double K3x = V + H / 2 * K2v,
                     K3v = Accel(T + H / 2, X + H / 2 * K2x, V + H / 2 * K2v);
        const double K4x = V + H * K3v, K4v = Accel(T + H, X + H * K3x, V + H * K3v);
        X += H / 6 * (K1x + 2 * K2x + 2 * K3x + K4x);
        V += H / 6 * (K1v + 2 * K2v + 2 * K3v + K4v);
        if (I % Stride == 0) Trace.push_back(X);
    }
    return Trace;
}

// Four 12-bit genes mapped onto the parameter ranges.
inline TParams Decode(const ax::TAxGAGenes& Genes, const ax::TAxGABits& Bits) {
    auto Scaled = [&](int I, double Low, double High) {
        return Low + (High - Low) * Genes.Items(I)->GeneAsInteger(Bits) / 4095.0;
    };
    return {Scaled(0, 0.5, 8.0), Scaled(1, 0.0, 1.0), Scaled(2, 0.0, 2.0), Scaled(3, 0.2, 4.0)};
}

struct TSettings {
    TKind Kind = TKind::Cpu;
    int Population = 64;
    int Steps = 20000;           // cpu: simulation steps per evaluation
    int WaitMicroseconds = 1000; // latency: the wait per evaluation
};

// Sets GA up for the workload. Every rank of an MPI job calls it with the same settings.
inline void SetUp(ax::TAxGeneticAlgorithm& GA, const TSettings& Settings) {
    for (int I = 0; I < 4; ++I) {
        ax::TAxGAGene* Gene = GA.Genes()->Add();
        Gene->SetGeneType(ax::TGeneType::gtInteger);
        Gene->SetSize(12);
    }
    GA.SetInitialPopulation(Settings.Population);
    GA.SetCrossoverMethod(ax::TGACrossoverMethod::cmGeneBoundary);
    GA.SetMutationProbability(0.02);
    // Shared, read-only data of the handler: the trajectory to fit, recorded once.
    auto Target =
        std::make_shared<const std::vector<double>>(Simulate({3.0, 0.2, 0.7, 1.3}, Settings.Steps));
    const ax::TAxGAGenes* Genes = GA.Genes();
    GA.SetOnEvaluateFitness([=](const ax::TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
        const TParams P = Decode(*Genes, Item.Bits());
        // The cheap value: how far the parameters are from a plausible region.
        Fitness = std::abs(P.Stiffness - 3.0) + std::abs(P.Frequency - 1.3);
        if (Settings.Kind == TKind::Latency) {
            std::this_thread::sleep_for(std::chrono::microseconds(Settings.WaitMicroseconds));
        } else if (Settings.Kind == TKind::Cpu) {
            const std::vector<double> Trace = Simulate(P, Settings.Steps);
            Fitness = 0;
            for (std::size_t I = 0; I < Trace.size(); ++I)
                Fitness += (Trace[I] - (*Target)[I]) * (Trace[I] - (*Target)[I]);
        }
    });
}

} // namespace workload
