// Saving a run and carrying on with it: evolve a genetic algorithm for a while, save it to
// an XML file, load the file into a fresh component and evolve that one further. The
// problem is a small paint recipe over all four gene types (enumeration, integer, float,
// boolean); the best recipe is "satin", 200 ml, ratio 0.75, glossy.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "demo.hpp"

#include "axgenetic/axgenetic.hpp"

namespace {

// The fitness handler for any algorithm with the recipe genes: it reaches the genes
// through the individual's population, so the loaded component can use it unchanged.
// Values the chromosome cannot stand for are repaired first (an enumeration index past
// the values, a ratio outside [0, 1]), as a host would, so every individual can be saved.
void ScoreRecipe(ax::TAxGAIndividual& Individual, ax::TGAFitness& Fitness) {
    ax::TAxGAGenes& Genes = *Individual.Collection()->Owner()->Genes();
    ax::TAxGABits& Bits = Individual.Bits();
    ax::TAxGAGene& Finish = *Genes[0];
    // Five values take 3 bits; their bounds lag at 0..3, so only the index writer is safe.
    if (Finish.GeneAsEnumerationIndex(Bits) >= Finish.EnumerationCount())
        Finish.SetGeneAsEnumerationIndex(Bits, Finish.GeneAsEnumerationIndex(Bits) %
                                                   Finish.EnumerationCount());
    Genes[2]->SetGeneAsFloat(Bits, Genes[2]->GeneAsFloat(Bits));

    const double Volume = Genes[1]->GeneAsInteger(Bits);
    const double Ratio = Genes[2]->GeneAsFloat(Bits);
    Fitness = (Finish.GeneAsEnumeration(Bits) == "satin" ? 10 : 0) - std::abs(Volume - 200) / 20 -
              std::abs(Ratio - 0.75) * 10 + (Genes[3]->GeneAsBoolean(Bits) ? 2 : 0);
}

void AddRecipeGenes(ax::TAxGeneticAlgorithm& GA) {
    ax::TAxGAGene* Finish = GA.Genes()->Add();
    Finish->SetName("finish");
    Finish->SetGeneType(ax::TGeneType::gtEnumeration);
    for (const char* Name : {"matte", "eggshell", "satin", "gloss", "chalk"})
        Finish->Enumerations().Add(Name);
    ax::TAxGAGene* Volume = GA.Genes()->Add();
    Volume->SetName("volume");
    Volume->SetSize(9);
    Volume->SetGeneType(ax::TGeneType::gtInteger);
    ax::TAxGAGene* Ratio = GA.Genes()->Add();
    Ratio->SetName("ratio");
    Ratio->SetSize(32);
    Ratio->SetGeneType(ax::TGeneType::gtFloat);
    Ratio->SetMaxValue(1); // bounds last: the type and size steps reset them
    ax::TAxGAGene* Glossy = GA.Genes()->Add();
    Glossy->SetName("glossy");
    Glossy->SetSize(1);
    Glossy->SetGeneType(ax::TGeneType::gtBoolean);
}

void ShowFittest(ax::TAxGeneticAlgorithm& GA) {
    ax::TAxGAIndividual* Best = GA.FittestIndividual();
    ax::TAxGAGenes& Genes = *GA.Genes();
    std::printf("  generation %d, fittest %.3f: %s\n", GA.Generation(), Best->Fitness(),
                [&] {
                    std::string Text;
                    for (int I = 0; I < Genes.Count(); ++I)
                        Text += Genes[I]->Name() + "=" + Genes[I]->AsString(Best->Bits()) + " ";
                    return Text;
                }()
                    .c_str());
}

void ShowDescription(const char* Title, const ax::TAxGeneticAlgorithm& GA) {
    std::printf("  %s:\n", Title);
    ax::TStringList Lines;
    GA.Describe(Lines, "      ");
    for (int I = 0; I < Lines.Count(); ++I)
        std::printf("    %s\n", Lines[I].c_str());
}

} // namespace

void RunPersistence() {
    std::printf("\n== Save, load and carry on (paint recipe; maximize) ==\n");
    ax::TAxGeneticAlgorithm GA;
    AddRecipeGenes(GA);
    GA.SetFitnessMethod(ax::TGAFitnessMethod::fmMaximize);
    GA.SetInitialPopulation(40);
    GA.SetMutationProbability(0.02);
    GA.SetUseGenerationLimit(true);
    GA.SetGenerationLimit(40);
    GA.SetOnEvaluateFitness(ScoreRecipe);
    GA.Evolve(15);
    ShowFittest(GA);

    const std::string FileName =
        (std::filesystem::temp_directory_path() / "axgenetic_demo_recipe.xml").string();
    GA.SaveToFile(FileName);
    std::printf("  saved to %s (%ju bytes); its first lines:\n", FileName.c_str(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(FileName)));
    std::ifstream Saved(FileName);
    std::string Line;
    for (int I = 0; I < 24 && std::getline(Saved, Line); ++I)
        std::printf("    | %s\n", Line.c_str());
    std::printf("    | ...\n");

    ax::TAxGeneticAlgorithm Loaded;
    Loaded.SetOnEvaluateFitness(ScoreRecipe); // handlers are code, not part of the document
    Loaded.LoadFromFile(FileName);
    std::filesystem::remove(FileName);

    int SameChromosomes = 0;
    for (int I = 0; I < GA.Population()->Count() && I < Loaded.Population()->Count(); ++I)
        if (GA.Population()->Items(I)->Bits().ToBitString() ==
            Loaded.Population()->Items(I)->Bits().ToBitString())
            ++SameChromosomes;
    std::printf(
        "  loaded into a fresh component: generation %d (saved %d), gene size %d (saved %d), "
        "%d genes, %d individuals, %d of %d chromosomes identical\n",
        Loaded.Generation(), GA.Generation(), Loaded.GeneSize(), GA.GeneSize(),
        Loaded.Genes()->Count(), Loaded.Population()->Count(), SameChromosomes,
        GA.Population()->Count());
    for (int I = 0; I < Loaded.Genes()->Count(); ++I) {
        const ax::TAxGAGene& Gene = *Loaded.Genes()->Items(I);
        std::printf("    gene %-7s %-14s %2d bits at %2d, bounds %g .. %g\n", Gene.Name().c_str(),
                    std::string(ax::GetEnumName(Gene.GeneType())).c_str(), Gene.Size(),
                    Gene.Offset(), Gene.MinValue(), Gene.MaxValue());
    }
    ShowDescription("saved component", GA);
    ShowDescription("loaded component", Loaded);
    std::printf(
        "  (InitialPopulation, Operations and the handlers are settings of the host, not of the "
        "document.)\n");

    std::printf("  the loaded component evolves on:\n");
    Loaded.Evolve(25);
    ShowFittest(Loaded);

    // A document is not a checkpoint: it keeps probabilities at single precision and no
    // generator state. A checkpoint holds both, so a run continued from it in a fresh
    // component (or process) repeats the original exactly.
    const std::string Checkpoint =
        (std::filesystem::temp_directory_path() / "axgenetic_demo_recipe.checkpoint").string();
    Loaded.SetGenerationLimit(60);
    const int SavedAt = Loaded.Generation();
    ax::SaveCheckpoint(Loaded, Checkpoint);
    Loaded.Evolve(10);
    ax::TAxGeneticAlgorithm Resumed;
    Resumed.SetOnEvaluateFitness(ScoreRecipe);
    ax::LoadCheckpoint(Resumed, Checkpoint);
    std::filesystem::remove(Checkpoint);
    Resumed.Evolve(10);
    int Same = 0;
    for (int I = 0; I < Loaded.Population()->Count(); ++I)
        Same +=
            Loaded.Population()->Items(I)->Bits().Equals(Resumed.Population()->Items(I)->Bits());
    std::printf("  checkpoint at generation %d; generation %d reached both ways, the original "
                "and the resumed run: %d of %d chromosomes identical\n",
                SavedAt, Resumed.Generation(), Same, Loaded.Population()->Count());
}
