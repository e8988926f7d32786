// The genetic programming demo: symbolic regression with the float and the binary
// component, the 6-multiplexer with the variant component, and a run saved and carried
// on. Every run is seeded (--seed N, default 1), so it prints the same on every machine;
// the regression is run a second time with the same seed to show that it finds the same
// program.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo.hpp"

int main(int argc, char** argv) {
    std::uint64_t Seed = 1;
    for (int I = 1; I + 1 < argc; ++I)
        if (std::strcmp(argv[I], "--seed") == 0) Seed = std::strtoull(argv[I + 1], nullptr, 10);
    const auto Start = std::chrono::steady_clock::now();
    std::printf("GP demo, seed %llu\n", static_cast<unsigned long long>(Seed));
    const std::string Best = RunRegression(false, Seed);
    RunRegression(true, Seed);
    RunMultiplexer(Seed);
    RunPersistence(Seed);
    const bool Same = RunRegression(false, Seed, true) == Best;
    std::printf("\nThe float regression again with seed %llu: %s best program.\n",
                static_cast<unsigned long long>(Seed), Same ? "the same" : "a DIFFERENT");
    std::printf("All examples took %.2f s.\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    return Same ? 0 : 1;
}
