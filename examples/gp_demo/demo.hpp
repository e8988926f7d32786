// The examples of the GP demo: symbolic regression with the float and the binary component,
// and the 6-multiplexer over Boolean variants. Each prints progress lines and its best
// program as a formula, and returns that program's text.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "axgenetic/axgenetic.hpp"

// Symbolic regression of x^4 + x^3 + x^2 + x with the float (Binary false) or the binary
// component.
std::string RunRegression(bool Binary, std::uint64_t Seed, bool Quiet = false);
// The 6-multiplexer with the variant component.
std::string RunMultiplexer(std::uint64_t Seed);
// A regression run saved, loaded into a fresh component and continued; an executor loads
// the file and evaluates the fittest program at new points.
void RunPersistence(std::uint64_t Seed);

// The program as an infix formula: operators between their arguments, Not and If spelled
// out, leaves by their labels.
template <class T> std::string Formula(const ax::TAxGPNode<T>& Node) {
    const ax::TAxGPInstruction<T>* I = Node.Instruction();
    if (Node.GetChildCount() == 0) {
        const std::string Label = Node.ValueToString();
        return !Label.empty() ? Label : I ? I->DisplayName() : "nil";
    }
    std::string Args[3];
    int Count = 0;
    for (int S = 0; S < Node.SlotCount() && Count < 3; ++S)
        if (const auto* C = Node.GetChild(S)) Args[Count++] = Formula(*C);
    const std::string Name = I ? I->Name() : "nil";
    if (Name == "If" && Count == 3)
        return "(if " + Args[0] + " then " + Args[1] + " else " + Args[2] + ")";
    if (Name == "Not" && Count == 1) return "not " + Args[0];
    const char* Op = Name == "Add"   ? " + "
                     : Name == "Sub" ? " - "
                     : Name == "Mul" ? "*"
                     : Name == "Div" ? "/"
                     : Name == "And" ? " and "
                     : Name == "Or"  ? " or "
                                     : nullptr;
    if (Op && Count == 2) return "(" + Args[0] + Op + Args[1] + ")";
    std::string Text = Name + "(";
    for (int A = 0; A < Count; ++A)
        Text += (A ? ", " : "") + Args[A];
    return Text + ")";
}

// A progress line every Every generations: generation, best error, mean program size and
// the time since the run started.
template <class C> void ShowProgress(C& GP, int Every, bool Quiet) {
    const auto Start = std::chrono::steady_clock::now();
    GP.SetOnEvolve([&GP, Every, Start, Quiet](ax::TObject*) {
        if (Quiet || (GP.Generation() % Every != 0 && !GP.IsFinished())) return;
        double Size = 0;
        for (int I = 0; I < GP.Population()->Count(); ++I)
            Size += GP.Population()->Items(I)->DNA()->Size();
        std::printf(
            "  gen %3d   best error %10.6g   mean size %6.1f   %6.2f s\n", GP.Generation(),
            GP.FittestIndividual()->Fitness(), Size / GP.Population()->Count(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count());
    });
}

// The settings both problems share, then up to 50 generations, stopping at an error of at
// most Cutoff.
template <class C> void Evolve(C& GP, int Population, double Cutoff, bool Quiet) {
    GP.SetInitialPopulation(Population);
    GP.SetInitializationMethod(ax::TGPInitializationMethod::imRampedHalfAndHalf);
    GP.SetInitializationDepth(5);
    GP.SetSelectionMethod(ax::TGASelectionMethod::smTournament);
    GP.SetMutationProbability(0.1);
    // Subtree and replacement mutation build no deeper than 8 levels.
    GP.SetBloatStrategy(ax::TGPBloatStrategy::bsDepthLimit);
    GP.SetBloatLimit(8);
    GP.SetUseFitnessCutoff(true);
    GP.SetFitnessCutoff(Cutoff);
    ShowProgress(GP, 5, Quiet);
    GP.Evolve(50);
}
