// A progress line for a running genetic algorithm: attach it to OnEvolve and it prints
// the generation, the fitness range, the diversity and the elapsed time every few
// generations.
#pragma once

#include <chrono>
#include <cstdio>

#include "axgenetic/axgenetic.hpp"

inline void ShowProgress(ax::TAxGeneticAlgorithm& GA, int Every) {
    const auto Start = std::chrono::steady_clock::now();
    GA.SetOnEvolve([&GA, Every, Start](ax::TObject*) {
        if (GA.Generation() % Every != 0) return;
        const double Seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        std::printf(
            "  gen %4d   min %10.3f   avg %10.3f   max %10.3f   diversity %6.3f   %6.3f s\n",
            GA.Generation(), GA.MinFitness(), GA.AvgFitness(), GA.MaxFitness(), GA.Diversity(),
            Seconds);
    });
}
