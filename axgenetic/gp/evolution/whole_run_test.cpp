// Whole seeded runs summed up in one digest: every generation's statistics and the final
// population's programs. The expected digests were recorded from the library before its
// copying, breeding and batch evaluation were made faster; a run must stay the same run.
#include "axgenetic/gp/evolution/gp_components.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/gp/engine/batch_evaluator.hpp"
#include "axgenetic/platform/random.hpp"

namespace ax {
namespace {

// FNV-1a over the bytes of the values fed to it.
class TDigest {
public:
    void Add(const void* Data, std::size_t Size) {
        const auto* Bytes = static_cast<const unsigned char*>(Data);
        for (std::size_t I = 0; I < Size; ++I) {
            FHash ^= Bytes[I];
            FHash *= 0x100000001b3ULL;
        }
    }
    template <class V> void AddValue(V Value) { Add(&Value, sizeof Value); }
    void AddText(const std::string& Text) { Add(Text.data(), Text.size() + 1); }
    std::uint64_t Value() const { return FHash; }

private:
    std::uint64_t FHash = 0xcbf29ce484222325ULL;
};

struct TRunCase {
    std::uint64_t Seed;
    bool TwoParent;
    bool Binary;
    TGPBloatStrategy Strategy;
    std::uint64_t Expected;
};

// The quartic regression with the library's own initialization and mutation: Add, Sub,
// Mul, protected Div, x and 1 over 20 points, fitness the sum of absolute errors through
// the batch evaluator.
template <class TGP> std::uint64_t RunDigest(const TRunCase& Case) {
    constexpr int Points = 20;
    TAxGPDataSet Data(Points);
    auto X = Data.AddColumn("x");
    std::vector<TGAFloat> Target(Points), Values(Points);
    for (std::size_t I = 0; I < Points; ++I) {
        const TGAFloat V = -1.0 + 2.0 * static_cast<double>(I) / (Points - 1);
        X[I] = V;
        Target[I] = V * V * V * V + V * V * V + V * V + V;
    }
    RandSeed(Case.Seed);
    TGP GP;
    auto& Set = *GP.Instructions();
    Set.AddElementwise("Add", [](TGAFloat A, TGAFloat B) { return A + B; });
    Set.AddElementwise("Sub", [](TGAFloat A, TGAFloat B) { return A - B; });
    Set.AddElementwise("Mul", [](TGAFloat A, TGAFloat B) { return A * B; });
    Set.AddElementwise("Div",
                       [](TGAFloat A, TGAFloat B) { return std::fabs(B) < 1e-9 ? 1.0 : A / B; });
    Set.Add()->SetName("x");
    auto* One = Set.Add();
    One->SetName("one");
    One->SetOperation(TGPGeneticInstruction::gpConstant);
    One->SetValue(1.0);
    GP.SetInitialPopulation(120);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetSelectionMethod(TGASelectionMethod::smTournament);
    GP.SetTournamentField(5);
    GP.SetCrossoverProbability(0.9);
    GP.SetMutationProbability(0.2);
    GP.SetTwoParentCrossover(Case.TwoParent);
    GP.SetBloatStrategy(Case.Strategy);
    GP.SetBloatLimit(Case.Strategy == TGPBloatStrategy::bsSizeFairCrossover ? 40 : 8);

    TAxGPBatchEvaluator Evaluator;
    GP.SetOnEvaluateFitness([&](TObject*, TAxIndividual* Item, TGAFitness& Fitness) {
        Evaluator.Evaluate(*static_cast<TAxGPIndividual<TGAFloat>*>(Item)->DNA(), Data, Values);
        double Error = 0;
        for (std::size_t I = 0; I < Points; ++I)
            Error += std::fabs(Values[I] - Target[I]);
        Fitness = std::isfinite(Error) ? Error : 1e30;
    });
    TDigest Digest;
    GP.SetOnEvolve([&](TObject*) {
        Digest.AddValue(GP.MinFitness());
        Digest.AddValue(GP.MaxFitness());
        Digest.AddValue(GP.AvgFitness());
        Digest.AddValue(GP.GetMinProgramSize());
        Digest.AddValue(GP.GetMaxProgramSize());
        Digest.AddValue(GP.GetAvgProgramSize());
        Digest.AddValue(GP.GetMaxProgramDepth());
        Digest.AddValue(GP.GetAvgProgramDepth());
    });
    GP.Initialize();
    GP.Evolve(12);
    for (int I = 0; I < GP.Population()->Count(); ++I) {
        Digest.AddText(GP.Population()->Items(I)->DNA()->ToString());
        Digest.AddValue(GP.Population()->Items(I)->Fitness());
    }
    return Digest.Value();
}

TEST(GPWholeRun, SeededRunsRepeatTheRecordedRuns) {
    using enum TGPBloatStrategy;
    const TRunCase Cases[] = {
        {1, true, false, bsDepthLimit, 0x06561a266d5f78e0},
        {2, true, false, bsDepthLimit, 0xd98a070eaeb62389},
        {3, true, false, bsDepthLimit, 0x305d577d67e8b7f9},
        {1, false, false, bsDepthLimit, 0x01c50d11b386bfd4},
        {2, false, false, bsDepthLimit, 0xfd038023fe146bc2},
        {3, false, false, bsDepthLimit, 0xf21a1acad82b3a3a},
        {1, true, true, bsDepthLimit, 0x26b1e89c61a1bec9},
        {2, false, true, bsDepthLimit, 0x536e669039f3c00e},
        {1, false, false, bsSizeFairCrossover, 0xa40dffa1b20faca9},
        {4, true, false, bsHoistSize, 0xb44ad4e2dae28082},
    };
    for (const TRunCase& Case : Cases) {
        const std::uint64_t Got = Case.Binary ? RunDigest<TAxBinaryGeneticProgramming>(Case)
                                              : RunDigest<TAxGeneticProgramming>(Case);
        EXPECT_EQ(Got, Case.Expected)
            << "seed " << Case.Seed << (Case.TwoParent ? " two-parent" : " one-parent")
            << (Case.Binary ? " binary" : "") << " " << GetEnumName(Case.Strategy) << " got 0x"
            << std::hex << Got;
    }
}

} // namespace
} // namespace ax
