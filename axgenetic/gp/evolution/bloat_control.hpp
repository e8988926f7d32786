// Bloat control of the GP component: the population's program statistics, the statistics
// helpers of covariant parsimony and the roulette of size-fair and depth-fair crossover.
//
// The strategies themselves are the GP component's overrides of the core's virtual steps
// (reproduction, raw and weighted fitness, weighted statistics, tournament, crossover);
// their code is in bloat_control.cpp. Where a formula has no value the results are:
// - CoVariance and Correlation give 0 for arrays of different lengths, for fewer than two
//   values, and for any result that is not a finite number (infinite or NaN inputs).
// - The covariant parsimony coefficient is 0 when the sizes (depths) have no variance,
//   with a single individual, and when the quotient is not finite.
// - A fair-crossover point whose smaller donor nodes all measure 0 (a depth-fair point of
//   depth 1) gives the smaller and bigger nodes weight 0: the donor node is one of the
//   equal ones. A roulette whose weights sum to 0 is not built and the point is chosen
//   again, as when every donor node is smaller or bigger.
#pragma once

#include <span>
#include <vector>

#include "axgenetic/core/types.hpp"
#include "axgenetic/gp/engine/node.hpp"

namespace ax {

// The sum of the products of deviations from the means, divided by n - 1 (sample
// covariance). XHigh and YHigh are the highest indexes (length - 1).
TGAFloat CoVariance(std::span<const TGAFloat> X, int XHigh, std::span<const TGAFloat> Y, int YHigh);
// The sample covariance divided by the product of the sample standard deviations; 0 when
// that product is 0.
TGAFloat Correlation(std::span<const TGAFloat> X, int XHigh, std::span<const TGAFloat> Y,
                     int YHigh);

// Sizes and depths of the programs of a population. A MaxSize of 0 means not computed.
struct TAxGPProgramStats {
    int MinSize = 0;
    int MaxSize = 0;
    float AvgSize = 0;
    int MinDepth = 0;
    int MaxDepth = 0;
    float AvgDepth = 0;
};

// The measure fair crossover compares: Size, or Depth when BySize is false.
template <class T> int FairMeasure(const TAxGPNode<T>& Node, bool BySize) {
    return BySize ? Node.Size() : Node.Depth();
}

// What a donor offers a receiver point of measure L.
struct TAxFairCounts {
    int Smaller = 0, Equal = 0, Bigger = 0;
    double SumSmaller = 0, SumBigger = 0;
};

template <class T>
TAxFairCounts CountFairNodes(std::span<TAxGPNode<T>* const> Donor, int L, bool BySize) {
    TAxFairCounts C;
    for (const TAxGPNode<T>* Node : Donor) {
        const int M = FairMeasure(*Node, BySize);
        if (M < L) {
            ++C.Smaller;
            C.SumSmaller += M;
        } else if (M > L) {
            ++C.Bigger;
            C.SumBigger += M;
        } else {
            ++C.Equal;
        }
    }
    return C;
}

// Fills Table with the cumulative, normalized weights of the donor's nodes (in their
// order) for a receiver point of measure L: equal nodes 1 / L, smaller and bigger ones
// (1 - 1 / L) / (their count * (1 + mean bigger / mean smaller)). Returns false (Table
// empty) when the donor lacks smaller or bigger nodes, or the weights sum to 0.
template <class T>
bool CreateSizeFairRoulette(std::span<TAxGPNode<T>* const> Donor, int L, bool BySize,
                            std::vector<TGAFloat>& Table) {
    const TAxFairCounts C = CountFairNodes(Donor, L, BySize);
    Table.clear();
    if (C.Smaller == 0 || C.Bigger == 0) return false; // so L is at least 1
    const double MeanSmaller = C.SumSmaller / C.Smaller;
    const double MeanBigger = C.SumBigger / C.Bigger;
    const double Rest = 1.0 - 1.0 / L;
    // Smaller nodes that all measure 0 leave the ratio without a value; they and the
    // bigger ones then get nothing (1 - 1 / L is 0 there anyway).
    const bool Degenerate = MeanSmaller == 0.0;
    const double Ratio = Degenerate ? 0.0 : 1.0 + MeanBigger / MeanSmaller;
    const double WSmaller = Degenerate ? 0.0 : Rest / (C.Smaller * Ratio);
    const double WBigger = Degenerate ? 0.0 : Rest / (C.Bigger * Ratio);
    double Sum = 0;
    for (const TAxGPNode<T>* Node : Donor) {
        const int M = FairMeasure(*Node, BySize);
        const double W = M < L ? WSmaller : (M > L ? WBigger : 1.0 / L);
        Table.push_back(W);
        Sum += W;
    }
    if (!(Sum > 0.0)) {
        Table.clear();
        return false;
    }
    double Cumulative = 0;
    for (TGAFloat& Entry : Table) {
        Cumulative += Entry / Sum;
        Entry = Cumulative;
    }
    return true;
}

// The index of the first entry greater than R; the last index when none is.
int SelectSizeFairNode(std::span<const TGAFloat> Table, double R);

} // namespace ax
