// Costs of the platform primitives every generation leans on: random draws and number
// text.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/text.hpp"

namespace {

void BM_RandomFloat(benchmark::State& State) {
    ax::RandSeed(1);
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::Random());
}
BENCHMARK(BM_RandomFloat);

void BM_RandomInt(benchmark::State& State) {
    ax::RandSeed(1);
    const auto N = static_cast<std::int32_t>(State.range(0));
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::Random(N));
}
BENCHMARK(BM_RandomInt)->Arg(2)->Arg(100)->Arg(0x60000000);

// Values of the kinds documents hold: probabilities, fitnesses, constants.
std::vector<double> SampleDoubles() {
    ax::RandSeed(2);
    std::vector<double> V(1024);
    for (auto& X : V)
        X = (ax::Random() - 0.5) * std::pow(10.0, ax::Random(12) - 4);
    return V;
}

void BM_FloatToStr(benchmark::State& State) {
    const auto V = SampleDoubles();
    std::size_t I = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::FloatToStr(V[I++ & 1023]));
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FloatToStr);

// Settings and constants as a user types them: few digits.
void BM_FloatToStrShortValues(benchmark::State& State) {
    ax::RandSeed(4);
    std::vector<double> V(1024);
    for (auto& X : V)
        X = ax::Random(100000) / 1000.0;
    std::size_t I = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::FloatToStr(V[I++ & 1023]));
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FloatToStrShortValues);

void BM_FormatFloatNoAlloc(benchmark::State& State) {
    const auto V = SampleDoubles();
    const ax::TFormatSettings Settings;
    char Buffer[ax::MaxFloatTextLength];
    std::size_t I = 0;
    for (auto _ : State) {
        benchmark::DoNotOptimize(ax::FormatFloat(Buffer, V[I++ & 1023], Settings));
        benchmark::ClobberMemory();
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_FormatFloatNoAlloc);

void BM_SingleToStr(benchmark::State& State) {
    const auto V = SampleDoubles();
    std::size_t I = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::SingleToStr(static_cast<float>(V[I++ & 1023])));
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_SingleToStr);

void BM_StrToFloat(benchmark::State& State) {
    std::vector<std::string> Texts;
    for (double X : SampleDoubles())
        Texts.push_back(ax::FloatToStr(X));
    std::size_t I = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::StrToFloat(Texts[I++ & 1023]));
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_StrToFloat);

void BM_PercentToStr(benchmark::State& State) {
    ax::RandSeed(3);
    std::vector<double> V(1024);
    for (auto& X : V)
        X = ax::Random();
    std::size_t I = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(ax::PercentToStr(V[I++ & 1023]));
}
BENCHMARK(BM_PercentToStr);

} // namespace
