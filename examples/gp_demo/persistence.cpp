// Saving a GP run and carrying on with it: evolve a regression of y = x^3 + x^2 + x for two
// generations, save the run to an XML file, load the file into a fresh component and
// evolve further. An executor takes the fittest program over and saves it as a program
// file, which another executor loads and evaluates at new points, with no component
// around. (An executor reading a whole run's file takes the population's first program,
// which need not be the fittest.) Handlers are not part of a document: the fresh component
// and the executor name their functions before loading, and the load keeps the handlers
// of the instructions it finds by name.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "demo.hpp"

namespace {

using ax::TGAFloat;

// Add and Mul, each a function of two arguments, and the variable x.
void AddInstructions(ax::TAxGPInstructions<TGAFloat>& Set) {
    for (const char* Name : {"Add", "Mul"}) {
        auto* F = Set.Add();
        F->SetName(Name);
        F->SetArity(2);
        const bool Sum = std::string(Name) == "Add";
        F->SetOnExecute([Sum](ax::TObject*, ax::TAxGPNode<TGAFloat>& Node,
                              ax::TAxGPContext<TGAFloat>& Context, TGAFloat& Result) {
            const TGAFloat A = Node.GetChild(0)->Execute(Context);
            const TGAFloat B = Node.GetChild(1)->Execute(Context);
            Result = Sum ? A + B : A * B;
        });
    }
    Set.Add()->SetName("x");
}

TGAFloat Target(TGAFloat X) {
    return X * X * X + X * X + X;
}

// The sum of absolute errors against the target at 11 points in [-1, 1].
void ScoreRegression(const ax::TAxGPIndividual<TGAFloat>& Item, ax::TGAFitness& Error) {
    ax::TAxGPContext<TGAFloat> Context;
    for (int I = 0; I <= 10; ++I) {
        const TGAFloat X = -1.0 + 0.2 * I;
        Context.Values()["x"] = X;
        Error += std::fabs(Item.Execute(Context) - Target(X));
    }
}

void Prepare(ax::TAxGeneticProgramming& GP) {
    AddInstructions(*GP.Instructions());
    GP.SetOnEvaluateFitness(ScoreRegression);
}

void ShowBest(const char* When, ax::TAxGeneticProgramming& GP) {
    GP.EvaluateFitness();
    auto* Best = GP.FittestIndividual();
    std::printf("  %s: generation %d, best error %.6g, y = %s\n", When, GP.Generation(),
                Best->Fitness(), Formula(*Best->DNA()).c_str());
}

} // namespace

void RunPersistence(std::uint64_t Seed) {
    std::printf("\n== Saving a GP run, loading it and carrying on; an executor runs the fittest "
                "program ==\n");
    const std::string File =
        (std::filesystem::temp_directory_path() / "axgenetic_gp_demo_run.xml").string();
    ax::RandSeed(Seed);
    {
        ax::TAxGeneticProgramming GP;
        Prepare(GP);
        GP.SetInitialPopulation(60);
        GP.SetInitializationDepth(3);
        GP.Evolve(2);
        ShowBest("saved run", GP);
        GP.SaveToFile(File);
    }
    ax::TAxGeneticProgramming Fresh;
    Prepare(Fresh);
    Fresh.LoadFromFile(File);
    std::printf("  loaded into a fresh component: generation %d, %d programs\n", Fresh.Generation(),
                Fresh.Population()->Count());
    Fresh.SetUseFitnessCutoff(true);
    Fresh.SetFitnessCutoff(1e-9);
    Fresh.Evolve(20);
    ShowBest("carried on", Fresh);

    {
        ax::TAxGeneticProgrammingExecutor Fittest;
        Fittest.Assign(Fresh);
        Fittest.SaveToFile(File);
    }
    ax::TAxGeneticProgrammingExecutor Executor;
    AddInstructions(*Executor.Instructions());
    Executor.LoadFromFile(File);
    std::printf("  executor loaded the fittest program from %s: y = %s\n", File.c_str(),
                Formula(*Executor.GPProgram()).c_str());
    ax::TAxGPContext<TGAFloat> Context;
    for (const TGAFloat X : {1.5, 2.0, 3.0, -2.5}) {
        Context.Values().AddOrSetValue("x", X);
        std::printf("    x = %5.2f   program %9.4f   x^3 + x^2 + x %9.4f\n", X,
                    Executor.Execute(Context), Target(X));
    }
    std::filesystem::remove(File);
}
