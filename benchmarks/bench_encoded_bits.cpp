// Cost of the typed run accessors of the chromosome bit string and of its duplicate key.
#include <benchmark/benchmark.h>

#include "axgenetic/common/encoded_bits.hpp"
#include "axgenetic/platform/random.hpp"

namespace {

ax::TAxEncodedBits MakeBits(int Size) {
    ax::RandSeed(1);
    ax::TAxEncodedBits B;
    B.SetSize(Size);
    for (int I = 0; I < Size; ++I)
        B.SetBits(I, ax::Random(2) == 1);
    return B;
}

// range(0) is the start bit: 8 keeps a 32-bit run in one word, 48 makes it cross into the next.
void BM_GetAsInteger(benchmark::State& State) {
    ax::TAxEncodedBits B = MakeBits(256);
    B.SetSignBit(true);
    const int Start = static_cast<int>(State.range(0));
    for (auto _ : State) {
        benchmark::DoNotOptimize(B.GetAsInteger(Start, 32));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GetAsInteger)->Arg(8)->Arg(48);

void BM_SetAsInteger(benchmark::State& State) {
    ax::TAxEncodedBits B = MakeBits(256);
    const int Start = static_cast<int>(State.range(0));
    std::int32_t Value = 12345;
    for (auto _ : State) {
        B.SetAsInteger(Start, 32, Value);
        Value += 7;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetAsInteger)->Arg(8)->Arg(48);

void BM_GetAsDouble(benchmark::State& State) {
    ax::TAxEncodedBits B = MakeBits(256);
    const int Start = static_cast<int>(State.range(0));
    for (auto _ : State) {
        benchmark::DoNotOptimize(B.GetAsDouble(Start, 64));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GetAsDouble)->Arg(0)->Arg(40);

void BM_ToString1024(benchmark::State& State) {
    const ax::TAxEncodedBits B = MakeBits(1024);
    for (auto _ : State)
        benchmark::DoNotOptimize(B.ToString());
}
BENCHMARK(BM_ToString1024);

} // namespace
