#include "axgenetic/gp/evolution/gp_persistence.hpp"

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "axgenetic/core/checkpoint.hpp"
#include "axgenetic/core/exceptions.hpp"
#include "axgenetic/core/run_records.hpp"
#include "axgenetic/gp/engine/program_xml.hpp"
#include "axgenetic/gp/evolution/executor.hpp"
#include "axgenetic/gp/evolution/gp_components.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/xml/genetic_program_xml.hpp"

namespace ax {
namespace {

using TFloatGP = generics::TAxCustomGeneticProgramming<TGAFloat>;
using TFloatInstruction = TAxGPInstruction<TGAFloat>;

TFloatInstruction* Add(TAxGPInstructions<TGAFloat>& Set, const std::string& Name, int Arity,
                       TGPGeneticInstruction Kind = TGPGeneticInstruction::gpVariable) {
    auto* I = Set.Add();
    I->SetName(Name);
    I->SetOperation(Kind);
    I->SetArity(Arity);
    if (Arity == 2)
        I->SetOnExecute(
            [Name](TObject*, TAxGPNode<TGAFloat>& N, TAxGPContext<TGAFloat>& C, TGAFloat& R) {
                const TGAFloat A = N.GetChild(0)->Execute(C), B = N.GetChild(1)->Execute(C);
                R = Name == "Add" ? A + B : A * B;
            });
    return I;
}

// x, One (= 1), Add and Mul; fitness: the error against x*x + 1 on a few points.
void Regression(TFloatGP& GP) {
    Add(*GP.Instructions(), "x", 0);
    Add(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant)->SetValue(1);
    Add(*GP.Instructions(), "Add", 2);
    Add(*GP.Instructions(), "Mul", 2);
    GP.SetInitialPopulation(20);
    GP.SetInitializationDepth(4);
    // The generic component takes handlers for its own individuals too.
    GP.SetOnEvaluateFitness([](const TAxGPIndividual<TGAFloat>& Item, TGAFitness& F) {
        TAxGPContext<TGAFloat> C;
        for (double X : {-1.0, 0.5, 2.0}) {
            C.Values()["x"] = X;
            F += std::fabs(Item.Execute(C) - X * X - 1);
        }
    });
}

std::string Saved(TFloatGP& GP) {
    std::ostringstream Out;
    GP.SaveToStream(Out);
    return Out.str();
}

void Load(TFloatGP& GP, const std::string& Text) {
    std::istringstream In(Text);
    GP.LoadFromStream(In);
}

std::vector<std::string> ChildNames(const IXMLNode& Node) {
    std::vector<std::string> Names;
    for (const IXMLNode& Child : Node.ChildElements())
        Names.emplace_back(Child.Name());
    return Names;
}

TEST(GPDocument, ElementOrderTheDocumentExampleAndInstructionsMergingByName) {
    TAxGeneticProgramming GP;
    Add(*GP.Instructions(), "x", 0);
    Add(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant)->SetValue(1);
    TFloatInstruction* Sum = Add(*GP.Instructions(), "Add", 2);
    const std::string Text = Saved(GP); // no population yet
    const IXMLGeneticProgram Root = GetGeneticProgram(LoadXMLDocumentFromText(Text));
    EXPECT_EQ(ChildNames(Root),
              (std::vector<std::string>{"DiversityLimit", "FitnessCutoff", "FitnessMethod",
                                        "Generation", "UseDiversityLimit", "UseFitnessCutoff",
                                        "GenerationLimit", "UseGenerationLimit", "AvgFitness",
                                        "MaxFitness", "MinFitness", "Reproduction", "Domain"}));
    EXPECT_EQ(ChildNames(Root.Reproduction()),
              (std::vector<std::string>{
                  "CrossoverMethod", "CrossoverProbability", "InversionProbability",
                  "MutationProbability", "SelectionMethod", "InitializationMethod",
                  "InitializationDepth", "MutationWeights", "SelectionNonterminalsProbability",
                  "PointMutationMethod", "PointMutationProbability"}));
    EXPECT_EQ(ChildNames(Root.Reproduction().MutationWeights()),
              (std::vector<std::string>{"mmSubtree", "mmReplacement", "mmConstant", "mmShrink",
                                        "mmHoist", "mmPoint"}));
    EXPECT_EQ(ChildNames(Root.Domain()), (std::vector<std::string>{"Instructions", "Population"}));
    EXPECT_NE(Text.find("<Instructions>\n"
                        "      <Variable Name=\"x\" Comment=\"\" />\n"
                        "      <Constant Name=\"One\" Comment=\"\">\n"
                        "        <Value>1</Value>\n"
                        "      </Constant>\n"
                        "      <Function Name=\"Add\" Comment=\"\" Arity=\"2\" />\n"
                        "    </Instructions>"),
              std::string::npos)
        << Text;

    // The tree (Add x One) as DNA.
    TAxGPFloatNode Tree(GP.Instructions()->Items(2));
    Tree.CreateNode(GP.Instructions()->Items(0), Tree);
    Tree.CreateNode(GP.Instructions()->Items(1), Tree)->SetValue(1);
    const IXMLGPDomainType Domain = NewGPDomain();
    SaveProgramToXML<TGAFloat>(Tree, Domain.Population().Add().DNA());
    EXPECT_EQ(SaveXMLDocumentToText(Domain.OwnerDocument()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<GPDomain>\n"
              "  <Population>\n"
              "    <Individual>\n"
              "      <DNA Instruction=\"Add\">\n"
              "        <Child Instruction=\"x\" />\n"
              "        <Child Instruction=\"One\">\n"
              "          <Value>1</Value>\n"
              "        </Child>\n"
              "      </DNA>\n"
              "    </Individual>\n"
              "  </Population>\n"
              "</GPDomain>\n");

    // Loaded instructions merge with these by name; those the document lacks go.
    const IXMLGPInstructions Element = NewGPInstructions();
    IXMLVariableInstructionType(Element.Variable().Add()).SetName("z");
    const auto Function = Element.Function().Add();
    Function.SetName("ADD");
    Function.SetArity(3);
    const auto Constant = Element.FloatConstant().Add();
    Constant.SetName("Half");
    Constant.SetValue("0.5");
    IXMLConstantInstructionType(Element.VariantConstant().Add()).SetName("Unset");
    GP.LoadFromXML(Element);

    const TAxGPInstructions<TGAFloat>& Set = *GP.Instructions();
    ASSERT_EQ(Set.Count(), 4);
    EXPECT_EQ(Set.Items(0), Sum); // kept in place, renamed, with its handler
    EXPECT_EQ(Sum->Name(), "ADD");
    EXPECT_EQ(Sum->Arity(), 3);
    EXPECT_TRUE(static_cast<bool>(Sum->OnExecute()));
    EXPECT_EQ(Set.Items(1)->Name(), "z"); // appended: variables before constants
    EXPECT_EQ(Set.Items(2)->Name(), "Half");
    EXPECT_EQ(Set.Items(2)->Value(), 0.5);
    EXPECT_EQ(Set.Items(3)->Operation(), TGPGeneticInstruction::gpConstant);
    EXPECT_EQ(Set.Items(3)->Value(), 0); // never given a value
    EXPECT_EQ(GP.GetFunctionsCount(), 1);
    EXPECT_EQ(GP.GetTerminalsCount(), 3);
}

TEST(GPDocument, RoundTripOfSettingsInstructionsAndPrograms) {
    RandSeed(7);
    TAxGeneticProgramming GP;
    Regression(GP);
    GP.SetInitializationMethod(TGPInitializationMethod::imRampedGrow);
    GP.SetMutationWeights({10, 0, 3, 10, 0, 7});
    GP.SetSelectionNonTerminalsProbability(0.8);
    GP.SetPointMutationMethod(TGPPointMutationMethod::pmmPerTree);
    GP.SetPointMutationProbability(0.25);
    GP.SetTournamentField(5);
    GP.Instructions()->Items(2)->SetComment("sum");
    GP.Evolve(3);

    GP.SetBloatStrategy(TGPBloatStrategy::bsDepthLimit);
    GP.SetParsimonyCoefficient(3);
    TAxGeneticProgramming Fresh;
    Regression(Fresh);
    Fresh.SetGeneration(11);
    Fresh.SetBloatLimit(20); // the bloat settings are no part of the document
    // Fitness is not read: the loaded individuals are evaluated again.
    std::string Text = Saved(GP);
    for (auto At = Text.find("<Fitness>"); At != std::string::npos;
         At = Text.find("<Fitness>", At + 1))
        Text.insert(At + 9, "9");
    Load(Fresh, Text);
    EXPECT_EQ(Fresh.InitializationMethod(), TGPInitializationMethod::imRampedGrow);
    EXPECT_EQ(Fresh.PointMutationMethod(), TGPPointMutationMethod::pmmPerTree);
    EXPECT_EQ(Fresh.BloatStrategy(), TGPBloatStrategy::bsNone);
    EXPECT_EQ(Fresh.Instructions()->Items(2)->Comment(), "sum");
    EXPECT_EQ((std::vector<int>{Fresh.MutationWeightsTotal(), Fresh.MutatePointWeight(),
                                Fresh.TournamentField(), Fresh.Generation(),
                                Fresh.InitialPopulation(), Fresh.BloatLimit()}),
              (std::vector<int>{30, 7, 5, 3, 20, 20}));
    EXPECT_EQ((std::vector<double>{Fresh.SelectionNonTerminalsProbability(),
                                   Fresh.PointMutationProbability(), Fresh.ParsimonyCoefficient()}),
              (std::vector<double>{0.8f, 0.25, 1}));
    ASSERT_EQ(Fresh.Population()->Count(), GP.Population()->Count());
    for (int I = 0; I < GP.Population()->Count(); ++I) {
        const auto* From = GP.Population()->Items(I)->DNA();
        const auto* To = Fresh.Population()->Items(I)->DNA();
        EXPECT_EQ(To->ToString(), From->ToString());
        EXPECT_EQ(To->Size(), From->Size());
        EXPECT_EQ(To->Depth(), From->Depth());
        EXPECT_EQ(Fresh.Population()->Items(I)->Fitness(), GP.Population()->Items(I)->Fitness());
    }
    // The loaded component's document loads back to the same document, and the loaded
    // component goes on evolving.
    TAxGeneticProgramming Again;
    Regression(Again);
    Load(Again, Saved(Fresh));
    EXPECT_EQ(Saved(Again), Saved(Fresh));
    EXPECT_EQ(Fresh.Evolve(2), 2);
    EXPECT_EQ(Fresh.Generation(), 5);
}

// A copy of the text with the last From replaced by To (From must occur).
std::string Edited(std::string Text, const std::string& From, const std::string& To) {
    const auto At = Text.rfind(From);
    EXPECT_NE(At, std::string::npos) << From;
    if (At != std::string::npos) Text.replace(At, From.size(), To);
    return Text;
}

template <class TComponent> void ExpectRefused(const std::string& Good) {
    RandSeed(3);
    TComponent GP;
    Regression(GP);
    GP.SetInitialPopulation(4);
    GP.Initialize();
    std::string Deep = "<DNA Instruction=\"x\"/>";
    for (int I = 0; I <= MaxProgramDepth; ++I)
        Deep = "<Child Instruction=\"Add\">" + Deep + "<Child Instruction=\"x\"/></Child>";
    Deep = "<DNA Instruction=\"Add\"><Child Instruction=\"x\"/>" + Deep.substr(0) + "</DNA>";
    const auto Last = Good.rfind("<DNA");
    const std::string Tree = Good.substr(Last, Good.rfind("</Individual>") - Last);
    struct TCase {
        std::string Text;
        const char* Message;
    };
    const TCase Cases[] = {
        {"<GeneticProgram><Domain>", "Element \"Domain\" is not closed at offset 24"},
        {"<GeneticAlgorithm/>",
         "Document element \"GeneticAlgorithm\" found where \"GeneticProgram\" was expected"},
        {Edited(Good, "Instruction=\"x\"", "Instruction=\"w\""), "Unknown instruction \"w\""},
        {Edited(Good, "<Value>1</Value>\n", "<Value>one</Value>\n"),
         "'one' is not a valid floating point value"},
        {Edited(Good, "<mmHoist>25</mmHoist>", "<mmHoist>256</mmHoist>"),
         "Mutation weight 256 of \"mmHoist\" is outside 0 to 255"},
        {Edited(Good, "Arity=\"2\"", "Arity=\"-1\""), "Arity -1 of \"Mul\" is outside 0 to 255"},
        {Edited(Good, "<InitializationDepth>4<", "<InitializationDepth>four<"),
         "'four' is not a valid integer value"},
        {Edited(Good, Tree, Deep), "Program deeper than 1000 levels"},
        {Edited(Good, Tree,
                "<DNA Instruction=\"Add\"><Child Instruction=\"x\"/><Child "
                "Instruction=\"x\"/><Child Instruction=\"x\"/></DNA>"),
         std::is_same_v<TComponent, TAxBinaryGeneticProgramming>
             ? "Node cannot accept anymore children"
             : nullptr},
    };
    const std::string Before = Saved(GP);
    for (const TCase& Case : Cases) {
        if (!Case.Message) { // a tree node takes any number of children
            TComponent Other;
            Regression(Other);
            Load(Other, Case.Text);
            continue;
        }
        try {
            Load(GP, Case.Text);
            ADD_FAILURE() << "no exception, expected " << Case.Message;
        } catch (const Exception& E) {
            EXPECT_EQ(std::string(E.what()), Case.Message);
        }
        EXPECT_EQ(Saved(GP), Before) << Case.Message;
    }
}

TEST(GPDocument, BadDocumentsChangeNothing) {
    RandSeed(5);
    TAxGeneticProgramming Source;
    Regression(Source);
    Source.Initialize();
    const std::string Good = Saved(Source);
    ExpectRefused<TAxGeneticProgramming>(Good);
    ExpectRefused<TAxBinaryGeneticProgramming>(Good);
}

TEST(GPExecutor, RunsTheFittestProgramAfterTheComponentIsGone) {
    RandSeed(11);
    TAxGeneticProgrammingExecutor Executor, Before;
    std::string Formula;
    TGAFloat Expected = 0;
    TAxGPContext<TGAFloat> Context;
    Context.Values().AddOrSetValue("x", 3.0);
    {
        TAxGeneticProgramming GP;
        Regression(GP);
        Before.Assign(GP);
        GP.Evolve(4);
        Executor.Assign(GP);
        Formula = GP.FittestIndividual()->DNA()->ToString();
        Expected = GP.FittestIndividual()->Execute(Context);
    }
    EXPECT_EQ(Before.GPProgram(), nullptr);
    EXPECT_EQ(Before.Execute(Context), 0);
    ASSERT_NE(Executor.GPProgram(), nullptr);
    EXPECT_EQ(Executor.GPProgram()->ToString(), Formula);
    EXPECT_EQ(Executor.Execute(Context), Expected);

    // Lines generated by one executor parse into the same program in another; a file
    // saved by one loads into another.
    TAxGeneticProgrammingExecutor Parsed, Loaded;
    Parsed.SetInstructions(*Executor.Instructions());
    Parsed.SetGPProgramLines(Executor.GPProgramLines());
    Parsed.Parse();
    ASSERT_NE(Parsed.GPProgram(), nullptr);
    EXPECT_EQ(Parsed.GPProgram()->ToString(), Formula);
    EXPECT_EQ(Parsed.Execute(Context), Expected);
    std::stringstream File;
    Executor.SaveToStream(File);
    // Handlers set before the load stay with the instructions of those names.
    Add(*Loaded.Instructions(), "Mul", 2);
    Add(*Loaded.Instructions(), "Add", 2);
    Loaded.LoadFromStream(File);
    EXPECT_EQ(Loaded.GPProgram()->ToString(), Formula);
    EXPECT_EQ(Loaded.Execute(Context), Expected);
    // Bad lines change nothing.
    TStringList Bad;
    Bad.SetText("<GPDomain><Population><Individual><DNA Instruction=\"nope\"/></Individual>"
                "</Population></GPDomain>");
    Parsed.SetGPProgramLines(Bad);
    EXPECT_THROW(Parsed.Parse(), EGPException);
    EXPECT_EQ(Parsed.GPProgram()->ToString(), Formula);
}

// a, b, And and Not over Booleans; fitness: the wrong answers for a XOR b.
void BooleanLogic(TAxGPInstructions<Variant>& Set) {
    for (const char* Name : {"a", "b"})
        Set.Add()->SetName(Name);
    auto* And = Set.Add();
    And->SetName("And");
    And->SetArity(2);
    And->SetOnExecute([](TObject*, TAxGPNode<Variant>& N, TAxGPVariantContext& C, Variant& R) {
        const bool A = N.GetChild(0)->Execute(C).ToBool();
        R = A && N.GetChild(1)->Execute(C).ToBool();
    });
    auto* Not = Set.Add();
    Not->SetName("Not");
    Not->SetArity(1);
    Not->SetOnExecute([](TObject*, TAxGPNode<Variant>& N, TAxGPVariantContext& C, Variant& R) {
        R = !N.GetChild(0)->Execute(C).ToBool();
    });
}

// The program's answers for the four inputs.
template <class P> std::vector<bool> Answers(const P& Program) {
    std::vector<bool> Out;
    TAxGPVariantContext Context;
    for (int Case = 0; Case < 4; ++Case) {
        Context.Values()["a"] = Variant((Case & 1) != 0);
        Context.Values()["b"] = Variant((Case & 2) != 0);
        Out.push_back(Program.Execute(Context).ToBool());
    }
    return Out;
}

// An executor assigned from a variant component that evolved a XOR; Expected and
// Formula are the fittest program's answers and text.
void EvolveXor(TAxGeneticProgrammingVariantExecutor& Executor, std::vector<bool>& Expected,
               std::string& Formula) {
    RandSeed(5);
    TAxGeneticProgrammingVariant GP;
    BooleanLogic(*GP.Instructions());
    GP.SetInitialPopulation(30);
    GP.SetInitializationDepth(3);
    GP.SetOnEvaluateFitness([](const TAxGPIndividual<Variant>& Item, TGAFitness& Wrong) {
        const std::vector<bool> Got = Answers(Item);
        for (int Case = 0; Case < 4; ++Case)
            Wrong += Got[Case] != (((Case & 1) != 0) != ((Case & 2) != 0));
    });
    GP.Evolve(3);
    Executor.Assign(GP);
    Expected = Answers(*GP.FittestIndividual());
    Formula = GP.FittestIndividual()->DNA()->ToString();
}

TEST(GPVariantExecutor, RunsTheFittestProgramAfterTheComponentIsGone) {
    TAxGeneticProgrammingVariantExecutor Executor, Empty;
    std::vector<bool> Expected;
    std::string Formula;
    EvolveXor(Executor, Expected, Formula);
    ASSERT_NE(Executor.GPProgram(), nullptr);
    EXPECT_EQ(Executor.GPProgram()->ToString(), Formula);
    EXPECT_EQ(Answers(Executor), Expected);
    TAxGPVariantContext Context;
    EXPECT_TRUE(Empty.Execute(Context).IsEmpty()); // no program: an empty result
}

TEST(GPVariantExecutor, ASavedProgramRunsWithHandlersSetBeforeTheLoad) {
    TAxGeneticProgrammingVariantExecutor Executor;
    std::vector<bool> Expected;
    std::string Formula;
    EvolveXor(Executor, Expected, Formula);
    std::stringstream File;
    Executor.SaveToStream(File);
    TAxGeneticProgrammingVariantExecutor Loaded;
    BooleanLogic(*Loaded.Instructions()); // names the functions and sets their handlers
    Loaded.LoadFromStream(File);
    ASSERT_NE(Loaded.GPProgram(), nullptr);
    EXPECT_EQ(Loaded.GPProgram()->ToString(), Formula);
    EXPECT_EQ(Answers(Loaded), Expected);
}

TEST(GPDescription, LineByLine) {
    const std::string Head = "Operating Conditions\n"
                             "  Fitness Method = fmMinimize\n"
                             "  Crossover Probability = 90.00%\n"
                             "  Inversion Probability = 10.00%\n"
                             "  Mutation Probability = 1.00%\n";
    const std::string Instructions = "  Selection Method = smStochasticTournament\n"
                                     "  Selection Non-terminals Probability = 90.00%\n";
    const std::string Sets = "  Terminals (2) x (abscissa), One\n"
                             "  Functions (1) Add\n"
                             "Initial Conditions\n"
                             "  Population = 100\n";
    struct TCase {
        std::function<void(TAxGeneticProgramming&)> Set;
        std::string Lines;
    } Cases[] = {
        {[](TAxGeneticProgramming&) {},
         Head +
             "  Mutation Distribution = mmSubtree(33.00%), mmReplacement(0.00%), "
             "mmConstant(0.00%), mmShrink(33.00%), mmHoist(33.00%), mmPoint(0.00%)\n" +
             Instructions + Sets +
             "  Initial Tree Depth is based on number of operations\n"
             "  Initialization Method = imFull\n"
             "There are no Termination Conditions\n"},
        {[](TAxGeneticProgramming& GP) {
             GP.SetMutationWeights({0, 0, 0, 0, 0, 0});
             GP.SetBloatStrategy(TGPBloatStrategy::bsHoistDepth);
             GP.SetBloatLimit(12);
             GP.SetInitializationDepth(5);
             GP.SetUseFitnessCutoff(true);
             GP.SetFitnessCutoff(0.5);
         },
         Head +
             "  Mutation Distribution = mmSubtree(0.00%), mmReplacement(0.00%), "
             "mmConstant(0.00%), mmShrink(0.00%), mmHoist(0.00%), mmPoint(0.00%)\n" +
             Instructions +
             "  Anti-Bloating Strategy = bsHoistDepth\n"
             "  Anti-Bloating Limit = 12\n" +
             Sets +
             "  Initial Tree Depth = Max of 5\n"
             "  Initialization Method = imFull\n"
             "Termination Conditions\n"
             "  Fitness <= 0.5\n"},
    };
    for (const TCase& Case : Cases) {
        TAxGeneticProgramming GP;
        Add(*GP.Instructions(), "x", 0)->SetComment("abscissa");
        Add(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant);
        Add(*GP.Instructions(), "Add", 2);
        Case.Set(GP);
        TStringList Lines;
        GP.Describe(Lines, "  ");
        EXPECT_EQ(Lines.Text(), Case.Lines);
    }
}

// A run checkpointed at generation Stop and continued by a fresh component, whose host
// only sets up the handlers, equals the uninterrupted run generation by generation; also
// where random draws decide fitness (Tarpeian), which the checkpoint keeps.
TEST(GPCheckpoint, ResumedRunEqualsTheUninterruptedRun) {
    constexpr int Total = 8, Stop = 3;
    const auto Csv = [](const TAxRunLog& Log) {
        std::ostringstream Out;
        Log.SaveToCSV(Out);
        return Out.str();
    };
    const auto Programs = [](TAxGeneticProgramming& GP) {
        std::string Text;
        for (int I = 0; I < GP.Population()->Count(); ++I)
            Text += GP.Population()->Items(I)->DNA()->ToString() + "\n";
        return Text;
    };
    for (const TGPBloatStrategy Strategy :
         {TGPBloatStrategy::bsDepthLimit, TGPBloatStrategy::bsTarpeianSize}) {
        SCOPED_TRACE(static_cast<int>(Strategy));
        std::stringstream Checkpoint;
        TAxRunLog WholeLog;
        TAxGeneticProgramming Whole, Stopped;
        for (TAxGeneticProgramming* GP : {&Whole, &Stopped}) {
            RandSeed(13);
            Regression(*GP);
            GP->SetBloatStrategy(Strategy);
            GP->SetBloatLimit(6);
            GP->SetTarpeianProbability(0.6);
            GP->SetMutationProbability(0.3);
            GP->SetPointMutationProbability(0.35);
            GP->Evolve(Stop);
        }
        SaveCheckpoint(Stopped, Checkpoint);
        WholeLog.Attach(Whole);
        Whole.Evolve(Total - Stop);

        RandSeed(999);
        TAxGeneticProgramming Resumed;
        Regression(Resumed);
        LoadCheckpoint(Resumed, Checkpoint);
        TAxRunLog ResumedLog;
        ResumedLog.Attach(Resumed);
        Resumed.Evolve(Total - Stop);
        EXPECT_EQ(Csv(ResumedLog), Csv(WholeLog));
        EXPECT_EQ(Programs(Resumed), Programs(Whole));
        EXPECT_EQ(Resumed.TarpeianProbability(), 0.6);
        EXPECT_EQ(Resumed.PointMutationProbability(), 0.35); // exact, not single precision
    }
}

std::string WriteComponentText(TComponent& Component) {
    std::ostringstream Out;
    ax::WriteComponentText(Out, Component);
    return Out.str();
}

TEST(GPStreaming, AFreshComponentStoresNoGPSetting) {
    // Every GP setting of a new component equals the default its published property
    // compares against, for every component kind.
    TAxGeneticProgramming Float;
    TAxBinaryGeneticProgramming Binary;
    TAxGeneticProgrammingVariant Variants;
    for (const std::string& Text :
         {WriteComponentText(Float), WriteComponentText(Binary), WriteComponentText(Variants)})
        for (const char* Name :
             {"BloatStrategy", "BloatLimit", "CrossoverMethod", "InitializationMethod",
              "InitializationDepth", "Weight", "PointMutationMethod", "PointMutationProbability",
              "ParsimonyCoefficient", "SelectionNonTerminalsProbability", "TarpeianProbability"})
            EXPECT_EQ(Text.find(Name), std::string::npos) << Name << " in\n" << Text;
}

TEST(GPStreaming, DefinedFloatsOnlyWhenNotDefault) {
    TAxGeneticProgramming GP;
    const std::string Fresh = WriteComponentText(GP);
    EXPECT_NE(Fresh.find("CrossoverProbability = 0.9"), std::string::npos) << Fresh;
    for (const char* Name : {"SelectionNonTerminalsProbability", "ParsimonyCoefficient",
                             "PointMutationProbability", "TarpeianProbability"})
        EXPECT_EQ(Fresh.find(Name), std::string::npos) << Name;
    GP.SetTarpeianProbability(0);
    GP.SetBloatStrategy(TGPBloatStrategy::bsSizeFairCrossover);
    GP.SetBloatLimit(30);
    GP.SetParsimonyCoefficient(0);
    GP.SetPointMutationProbability(0.5);
    GP.SetMutateHoistWeight(3);
    Add(*GP.Instructions(), "Add", 2);
    TAxGeneticProgramming Read;
    std::istringstream In(WriteComponentText(GP));
    ReadComponentText(In, Read);
    EXPECT_EQ(Read.BloatStrategy(), TGPBloatStrategy::bsSizeFairCrossover);
    EXPECT_EQ((std::vector<double>{Read.TarpeianProbability(), Read.ParsimonyCoefficient(),
                                   Read.PointMutationProbability()}),
              (std::vector<double>{0, 0, 0.5}));
    EXPECT_EQ(std::make_pair(Read.BloatLimit(), Read.MutationWeightsTotal()),
              std::make_pair(30, 53));
    ASSERT_EQ(Read.Instructions()->Count(), 1);
    EXPECT_EQ(Read.Instructions()->Items(0)->Arity(), 2);
}

} // namespace
} // namespace ax
