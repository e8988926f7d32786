#include "axgenetic/gp/evolution/gp_persistence.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
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
#include "axgenetic/gp/evolution/gp_test_support.hpp"
#include "axgenetic/platform/exceptions.hpp"
#include "axgenetic/platform/expect_error_test_support.hpp"
#include "axgenetic/platform/random.hpp"
#include "axgenetic/platform/streaming.hpp"
#include "axgenetic/platform/string_list.hpp"
#include "axgenetic/xml/genetic_program_xml.hpp"

namespace ax {
namespace {

using TFloatGP = generics::TAxCustomGeneticProgramming<TGAFloat>;
using TFloatInstruction = TAxGPInstruction<TGAFloat>;

// x, One (= 1), Add and Mul; fitness: the error against x*x + 1 on a few points.
void Regression(TFloatGP& GP) {
    AddInstruction(*GP.Instructions(), "x", 0);
    AddInstruction(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant)->SetValue(1);
    AddInstruction(*GP.Instructions(), "Add", 2);
    AddInstruction(*GP.Instructions(), "Mul", 2);
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

// The instructions x, One (1) and Add; gives Add.
TFloatInstruction* XOneAdd(TAxGeneticProgramming& GP) {
    AddInstruction(*GP.Instructions(), "x", 0);
    AddInstruction(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant)->SetValue(1);
    return AddInstruction(*GP.Instructions(), "Add", 2);
}

TEST(GPDocument, ElementsAreWrittenInTheDocumentOrder) {
    TAxGeneticProgramming GP;
    XOneAdd(GP);
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
}

TEST(GPDocument, AProgramIsWrittenAsDNA) {
    TAxGeneticProgramming GP;
    XOneAdd(GP);
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
}

TEST(GPDocument, LoadedInstructionsMergeByName) {
    TAxGeneticProgramming GP;
    TFloatInstruction* Sum = XOneAdd(GP);
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

TEST(GPDocument, ARoundTripKeepsTheComponent) {
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
    constexpr bool Binary = std::is_same_v<TComponent, TAxBinaryGeneticProgramming>;
    const TCase Cases[] = {
        {"<GeneticProgram><Domain>", "Element \"Domain\" is not closed at offset 24"},
        {"<GeneticAlgorithm/>",
         "Document element \"GeneticAlgorithm\" found where \"GeneticProgram\" was expected"},
        {Edited(Good, "Instruction=\"x\"", "Instruction=\"w\""), "Unknown instruction \"w\""},
        {Edited(Good, "<Value>1</Value>\n", "<Value>one</Value>\n"),
         "'one' is not a valid floating point value"},
        {Edited(Good, "<mmHoist>25</mmHoist>", "<mmHoist>256</mmHoist>"),
         "Mutation weight 256 of \"mmHoist\" is outside 0 to 255"},
        {Edited(Good, "Arity=\"2\"", "Arity=\"-1\""),
         Binary ? "Arity -1 of \"Mul\" is outside 0 to 2"
                : "Arity -1 of \"Mul\" is outside 0 to 255"},
        // A binary node never takes a third argument (tree components accept the arity).
        {Binary ? Edited(Good, "Arity=\"2\"", "Arity=\"3\"") : Good,
         Binary ? "Arity 3 of \"Mul\" is outside 0 to 2" : nullptr},
        {Edited(Good, Tree, "<DNA Instruction=\"Add\"><Child Instruction=\"x\"/></DNA>"),
         "Invalid number of arguments (1) for \"Add\" instruction"},
        {Edited(Good, "<InitializationDepth>4<", "<InitializationDepth>four<"),
         "'four' is not a valid integer value"},
        // Settings that size a run's work and memory are bounded for documents.
        {Edited(Good, "<InitializationDepth>4<", "<InitializationDepth>1001<"),
         "InitializationDepth: 1001 exceeds the limit of 1000"},
        {Edited(Good, "<TournamentField>7<", "<TournamentField>2000000000<"),
         "TournamentField: 2000000000 exceeds the limit of 1000"},
        {Edited(Good, Tree, Deep), "Program deeper than 1000 levels"},
        {Edited(Good, Tree,
                "<DNA Instruction=\"Add\"><Child Instruction=\"x\"/><Child "
                "Instruction=\"x\"/><Child Instruction=\"x\"/></DNA>"),
         Binary ? "Node cannot accept anymore children" : nullptr},
    };
    const std::string Before = Saved(GP);
    for (const TCase& Case : Cases) {
        if (!Case.Message) { // a tree node takes any number of children
            TComponent Other;
            Regression(Other);
            Load(Other, Case.Text);
            continue;
        }
        ExpectError<Exception>([&] { Load(GP, Case.Text); }, Case.Message);
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

// The largest integers a document may hold load and evolve without overflow.
TEST(GPDocument, LargestIntegerSettingsAreUsable) {
    RandSeed(17);
    TAxGeneticProgramming Source;
    Regression(Source);
    Source.Evolve(3);
    const std::string Good = Saved(Source);
    TAxGeneticProgramming Deep, Late;
    Regression(Deep);
    // A component that never evolved initializes at the load, with this depth.
    Load(Deep, Edited(Good, "<InitializationDepth>4<", "<InitializationDepth>1000<"));
    EXPECT_EQ(Deep.InitializationDepth(), 1000);
    Regression(Late);
    Load(Late, Edited(Good, "<Generation>3<", "<Generation>2147483647<"));
    EXPECT_EQ(Late.Evolve(2), 0);
    EXPECT_EQ(Late.Generation(), 2147483647);
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
    AddInstruction(*Loaded.Instructions(), "Mul", 2);
    AddInstruction(*Loaded.Instructions(), "Add", 2);
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

// The lines of a program that uses an unnamed instruction (written under its display
// name) parse in the executor that generated them.
TEST(GPExecutor, LinesOfAnUnnamedInstructionParse) {
    TAxGeneticProgrammingExecutor Executor;
    auto* Sum = AddInstruction(*Executor.Instructions(), "Add", 2);
    auto* Unnamed = Executor.Instructions()->Add();
    Unnamed->SetOperation(TGPGeneticInstruction::gpConstant);
    TAxGPFloatNode Program(Sum);
    Program.AddChild(std::make_unique<TAxGPFloatNode>(Unnamed))->SetValue(1.25);
    Program.AddChild(std::make_unique<TAxGPFloatNode>(Unnamed))->SetValue(2);
    Executor.SetGPProgram(Program);
    TStringList Lines;
    Lines.Assign(Executor.GPProgramLines());
    Executor.SetGPProgramLines(Lines);
    Executor.Parse();
    ASSERT_NE(Executor.GPProgram(), nullptr);
    EXPECT_EQ(Executor.GPProgram()->GetChild(1)->Instruction(), Unnamed);
    TAxGPContext<TGAFloat> Context;
    EXPECT_EQ(Executor.Execute(Context), 3.25);
}

// A program whose functions have no handler yet (loaded before the host set them) is
// refused at its run, naming the function, rather than evaluating to 0.
TEST(GPExecutor, FunctionWithoutHandlerIsRefused) {
    RandSeed(31);
    TAxGeneticProgramming GP;
    Regression(GP);
    GP.Evolve(2);
    TAxGeneticProgrammingExecutor Saved, Loaded;
    Saved.Assign(GP);
    std::stringstream File;
    Saved.SaveToStream(File);
    Loaded.LoadFromStream(File);
    const TAxGPNode<TGAFloat>* Root = Loaded.GPProgram();
    ASSERT_NE(Root, nullptr);
    ASSERT_EQ(Root->Instruction()->Operation(), TGPGeneticInstruction::gpFunction);
    TAxGPContext<TGAFloat> Context;
    try {
        Loaded.Execute(Context);
        ADD_FAILURE() << "no exception";
    } catch (const EGPException& E) {
        EXPECT_EQ(std::string(E.what()),
                  "No execute handler for \"" + Root->Instruction()->Name() + "\" instruction");
    }
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
        AddInstruction(*GP.Instructions(), "x", 0)->SetComment("abscissa");
        AddInstruction(*GP.Instructions(), "One", 0, TGPGeneticInstruction::gpConstant);
        AddInstruction(*GP.Instructions(), "Add", 2);
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

// Regression with a constant Pi (3.141592653589793) and a constant C whose nodes carry
// their own random values, drawn anew by every constant mutation.
void RandomConstants(TAxGeneticProgramming& GP) {
    Regression(GP);
    AddInstruction(*GP.Instructions(), "Pi", 0, TGPGeneticInstruction::gpConstant)
        ->SetValue(3.141592653589793);
    AddInstruction(*GP.Instructions(), "C", 0, TGPGeneticInstruction::gpConstant)->SetValue(0.1);
    GP.SetMutationWeights({1, 0, 6, 1, 1, 0});
    GP.SetMutationProbability(0.8);
    GP.SetOnConstantMutation(
        [](TObject*, TAxGPNode<TGAFloat>& Node) { Node.SetValue(Random() * 10 - 5); });
}

// The bits of every constant of the programs.
std::vector<std::uint64_t> ConstantBits(std::vector<const TAxGPNode<TGAFloat>*> Pending) {
    std::vector<std::uint64_t> Bits;
    while (!Pending.empty()) {
        const TAxGPNode<TGAFloat>* Node = Pending.back();
        Pending.pop_back();
        if (Node->Instruction()->Operation() == TGPGeneticInstruction::gpConstant)
            Bits.push_back(std::bit_cast<std::uint64_t>(Node->Value()));
        for (int C = 0; C < Node->GetChildCount(); ++C)
            Pending.push_back(Node->GetChild(C));
    }
    return Bits;
}

// The bits of every constant of every program, in population order.
std::vector<std::uint64_t> ConstantBits(TAxGeneticProgramming& GP) {
    std::vector<const TAxGPNode<TGAFloat>*> Programs;
    for (int I = 0; I < GP.Population()->Count(); ++I)
        Programs.push_back(GP.Population()->Items(I)->DNA());
    return ConstantBits(Programs);
}

TEST(GPCheckpoint, RandomNodeConstantsContinueIdentically) {
    constexpr int Total = 10, Stop = 4;
    TAxGeneticProgramming Whole, Stopped, Resumed;
    for (TAxGeneticProgramming* GP : {&Whole, &Stopped}) {
        RandSeed(21);
        RandomConstants(*GP);
        GP->Evolve(Stop);
    }
    std::stringstream Checkpoint;
    SaveCheckpoint(Stopped, Checkpoint);
    Whole.Evolve(Total - Stop);
    RandSeed(1);
    RandomConstants(Resumed);
    LoadCheckpoint(Resumed, Checkpoint);
    Resumed.Evolve(Total - Stop);
    ASSERT_GT(ConstantBits(Whole).size(), 20u);
    EXPECT_EQ(ConstantBits(Resumed), ConstantBits(Whole));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(Resumed.MinFitness()),
              std::bit_cast<std::uint64_t>(Whole.MinFitness()));
}

// A checkpoint whose body is Body, with the header and checksum a save would give it.
std::string Sealed(const std::string& Body) {
    std::uint64_t Hash = 0xcbf29ce484222325ull;
    for (const char C : Body)
        Hash = (Hash ^ static_cast<unsigned char>(C)) * 0x100000001b3ull;
    std::ostringstream Text;
    Text << "axgenetic-checkpoint 1 " << std::hex << Hash << "\n" << Body;
    return Text.str();
}

// Every part of a checkpoint that is damaged is refused with its own message, and the
// component that was to continue the run stays as it was.
TEST(GPCheckpoint, EveryDamagedPartIsRefusedWithoutChange) {
    RandSeed(37);
    TAxGeneticProgramming Stopped;
    Regression(Stopped);
    Stopped.SetBloatLimit(12);
    Stopped.Evolve(2);
    std::stringstream File;
    SaveCheckpoint(Stopped, File);
    const std::string Good = File.str();
    const std::string Body = Good.substr(Good.find('\n') + 1);
    const auto Line = [&Body](const std::string& Start) {
        const auto At = Body.find(Start);
        return Body.substr(At, Body.find('\n', At) - At);
    };
    const std::string Document = Line("document ");
    const std::string Tail = "</GeneticProgram>";
    const struct {
        const char* Part;
        std::string Text;
        std::string Message;
    } Cases[] = {
        {"header", "axgenetic-checkpoint 2" + Good.substr(22),
         "Invalid checkpoint: not a checkpoint of this version"},
        {"checksum", Edited(Good, "<Generation>2<", "<Generation>3<"),
         "Invalid checkpoint: the checksum does not match; the file is damaged"},
        {"random state", Sealed(Edited(Body, Line("random "), "random 1 0 0 0 0")),
         "Invalid checkpoint: all-zero generator state"},
        {"random state", Sealed(Edited(Body, Line("random "), "random 1 2")),
         "Invalid checkpoint: no generator state"},
        {"setting name", Sealed(Edited(Body, Line("setting BloatLimit"), "setting Nope = 1")),
         "Invalid checkpoint: the component has no setting \"Nope\""},
        {"setting value",
         Sealed(Edited(Body, Line("setting BloatLimit"), "setting BloatLimit = twelve")),
         "Invalid checkpoint: setting BloatLimit: Invalid property value"},
        {"setting line", Sealed(Edited(Body, Line("setting BloatLimit"), "BloatLimit 12")),
         "Invalid checkpoint: unexpected line \"BloatLimit 12\""},
        {"fitness", Sealed(Edited(Body, Line("fitness"), "fitness 3ff0000000000000 zz")),
         "Invalid checkpoint: bad number \"zz\""},
        {"document length", Sealed(Edited(Body, Document, Document + "0")),
         "Invalid checkpoint: truncated document"},
        {"document", Sealed(Edited(Body, Tail, "</GeneticProgrXm>")),
         "End tag \"GeneticProgrXm\" does not match \"GeneticProgram\""},
    };
    RandSeed(41);
    TAxGeneticProgramming Target;
    Regression(Target);
    Target.Evolve(1);
    const std::string Before = Saved(Target);
    const TRandomGeneratorState Random = GetRandomState();
    for (const auto& Case : Cases) {
        std::istringstream In(Case.Text);
        try {
            LoadCheckpoint(Target, In);
            ADD_FAILURE() << Case.Part << ": no exception";
        } catch (const Exception& E) {
            EXPECT_EQ(std::string(E.what()).substr(0, Case.Message.size()), Case.Message)
                << Case.Part;
        }
        EXPECT_EQ(Saved(Target), Before) << Case.Part;
        EXPECT_EQ(Target.BloatLimit(), 10) << Case.Part;
        EXPECT_TRUE(GetRandomState().Words == Random.Words) << Case.Part;
    }
    std::istringstream In(Good); // and the undamaged file loads
    LoadCheckpoint(Target, In);
    EXPECT_EQ(Target.BloatLimit(), 12);
}

// An executor loaded from the file of a program predicts what the program gives, bit for
// bit.
TEST(GPExecutor, LoadedProgramPredictsBitForBit) {
    RandSeed(23);
    TAxGeneticProgramming GP;
    RandomConstants(GP);
    GP.Evolve(6);
    TAxGeneticProgrammingExecutor Saved, Loaded;
    Saved.Assign(GP);
    ASSERT_FALSE(ConstantBits({Saved.GPProgram()}).empty());
    std::stringstream File;
    Saved.SaveToStream(File);
    AddInstruction(*Loaded.Instructions(), "Add", 2);
    AddInstruction(*Loaded.Instructions(), "Mul", 2);
    Loaded.LoadFromStream(File);
    TAxGPContext<TGAFloat> Context;
    for (const double X : {-1.7, 0.3, 2.9, 1e6}) {
        Context.Values().AddOrSetValue("x", X);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(Loaded.Execute(Context)),
                  std::bit_cast<std::uint64_t>(GP.FittestIndividual()->Execute(Context)))
            << X;
    }
}

std::string WriteComponentText(TComponent& Component) {
    std::ostringstream Out;
    ax::WriteComponentText(Out, Component);
    return Out.str();
}

// One setting of a GP component: a value other than its default, and its text (exact).
template <class C> struct TSettingCase {
    const char* Name;
    std::function<void(C&)> Set;
    std::function<std::string(const C&)> Get;
    bool Assigned = true; // Assign copies it (InitialPopulation and Operations it leaves)
};

template <class C> std::vector<TSettingCase<C>> SettingCases() {
    const auto F = [](double V) { return StreamFloatText(V); };
    return {
        {"BloatStrategy", [](C& G) { G.SetBloatStrategy(TGPBloatStrategy::bsDepthLimit); },
         [](const C& G) { return std::to_string(static_cast<int>(G.BloatStrategy())); }},
        {"BloatLimit", [](C& G) { G.SetBloatLimit(17); },
         [](const C& G) { return std::to_string(G.BloatLimit()); }},
        {"InitializationMethod",
         [](C& G) { G.SetInitializationMethod(TGPInitializationMethod::imRampedGrow); },
         [](const C& G) { return std::to_string(static_cast<int>(G.InitializationMethod())); }},
        {"InitializationDepth", [](C& G) { G.SetInitializationDepth(3); },
         [](const C& G) { return std::to_string(G.InitializationDepth()); }},
        {"MutationWeights",
         [](C& G) {
             G.SetMutationWeights({1, 2, 3, 4, 5, 6});
         },
         [](const C& G) {
             std::string Text;
             for (const auto W : G.MutationWeights())
                 Text += std::to_string(W) + " ";
             return Text + std::to_string(G.MutationWeightsTotal());
         }},
        {"ParsimonyCoefficient", [](C& G) { G.SetParsimonyCoefficient(0.1234567890123456789); },
         [F](const C& G) { return F(G.ParsimonyCoefficient()); }},
        {"PointMutationMethod",
         [](C& G) { G.SetPointMutationMethod(TGPPointMutationMethod::pmmPerTree); },
         [](const C& G) { return std::to_string(static_cast<int>(G.PointMutationMethod())); }},
        {"PointMutationProbability", [](C& G) { G.SetPointMutationProbability(1.0 / 3); },
         [F](const C& G) { return F(G.PointMutationProbability()); }},
        {"SelectionNonTerminalsProbability",
         [](C& G) { G.SetSelectionNonTerminalsProbability(7.0 / 9); },
         [F](const C& G) { return F(G.SelectionNonTerminalsProbability()); }},
        {"TarpeianProbability", [](C& G) { G.SetTarpeianProbability(0.0123456789); },
         [F](const C& G) { return F(G.TarpeianProbability()); }},
        {"TwoParentCrossover", [](C& G) { G.SetTwoParentCrossover(true); },
         [](const C& G) { return std::to_string(G.TwoParentCrossover()); }},
        {"CrossoverProbability", [](C& G) { G.SetCrossoverProbability(1.0 / 7); },
         [F](const C& G) { return F(G.CrossoverProbability()); }},
        {"InversionProbability", [](C& G) { G.SetInversionProbability(1.0 / 11); },
         [F](const C& G) { return F(G.InversionProbability()); }},
        {"MutationProbability", [](C& G) { G.SetMutationProbability(1.0 / 13); },
         [F](const C& G) { return F(G.MutationProbability()); }},
        {"ElitistPct", [](C& G) { G.SetElitistPct(1.0 / 17); },
         [F](const C& G) { return F(G.ElitistPct()); }},
        {"DiversityLimit", [](C& G) { G.SetDiversityLimit(1.0 / 19); },
         [F](const C& G) { return F(G.DiversityLimit()); }},
        {"FitnessCutoff", [](C& G) { G.SetFitnessCutoff(-1.0 / 23); },
         [F](const C& G) { return F(G.FitnessCutoff()); }},
        {"FitnessMethod", [](C& G) { G.SetFitnessMethod(TGAFitnessMethod::fmWeightedMaximize); },
         [](const C& G) { return std::to_string(static_cast<int>(G.FitnessMethod())); }},
        {"GenerationLimit", [](C& G) { G.SetGenerationLimit(77); },
         [](const C& G) { return std::to_string(G.GenerationLimit()); }},
        {"UseFitnessCutoff", [](C& G) { G.SetUseFitnessCutoff(true); },
         [](const C& G) { return std::to_string(G.UseFitnessCutoff()); }},
        {"UseDiversityLimit", [](C& G) { G.SetUseDiversityLimit(true); },
         [](const C& G) { return std::to_string(G.UseDiversityLimit()); }},
        {"UseGenerationLimit", [](C& G) { G.SetUseGenerationLimit(true); },
         [](const C& G) { return std::to_string(G.UseGenerationLimit()); }},
        {"InitialPopulation", [](C& G) { G.SetInitialPopulation(31); },
         [](const C& G) { return std::to_string(G.InitialPopulation()); }, false},
        {"InitialDuplicatesRetries", [](C& G) { G.SetInitialDuplicatesRetries(4); },
         [](const C& G) { return std::to_string(G.InitialDuplicatesRetries()); }},
        {"TournamentField", [](C& G) { G.SetTournamentField(5); },
         [](const C& G) { return std::to_string(G.TournamentField()); }},
        {"SelectionMethod", [](C& G) { G.SetSelectionMethod(TGASelectionMethod::smRoulette); },
         [](const C& G) { return std::to_string(static_cast<int>(G.SelectionMethod())); }},
        {"Operations", [](C& G) { G.SetOperations({TGAGeneticOperation::goMutate}); },
         [](const C& G) {
             return std::to_string(G.Operations().Contains(TGAGeneticOperation::goCrossover)) +
                    std::to_string(G.Operations().Contains(TGAGeneticOperation::goMutate));
         },
         false},
    };
}

// Every setting of every GP component class reaches a fresh component through property
// streaming, Assign and a checkpoint.
template <class C> void ExpectEverySettingCarried() {
    const auto Cases = SettingCases<C>();
    C Source;
    for (const auto& Case : Cases)
        Case.Set(Source);
    const std::map<std::string, std::function<void(C&)>> Carriers = {
        {"streaming",
         [&Source](C& To) {
             std::stringstream Text;
             ax::WriteComponentText(Text, Source);
             ReadComponentText(Text, To);
         }},
        {"Assign", [&Source](C& To) { To.Assign(Source); }},
        {"checkpoint",
         [&Source](C& To) {
             std::stringstream Text;
             SaveCheckpoint(Source, Text);
             LoadCheckpoint(To, Text);
         }},
    };
    for (const auto& [Carrier, Carry] : Carriers) {
        C To;
        Carry(To);
        for (const auto& Case : Cases) {
            if (Case.Assigned || Carrier != "Assign") {
                EXPECT_EQ(Case.Get(To), Case.Get(Source))
                    << Source.ClassName() << " " << Carrier << " " << Case.Name;
            }
        }
    }
}

TEST(GPSettings, EverySettingReachesAFreshComponent) {
    ExpectEverySettingCarried<TAxGeneticProgramming>();
    ExpectEverySettingCarried<TAxBinaryGeneticProgramming>();
    ExpectEverySettingCarried<TAxGeneticProgrammingVariant>();
}

// A placed executor written to a stream and read back has its instructions and program.
TEST(GPStreaming, ExecutorCarriesItsProgram) {
    RandSeed(29);
    TAxGeneticProgramming GP;
    RandomConstants(GP);
    GP.Evolve(3);
    TAxGeneticProgrammingExecutor Placed, Read;
    Placed.Assign(GP);
    std::stringstream Text;
    ax::WriteComponentText(Text, Placed);
    ReadComponentText(Text, Read);
    ASSERT_NE(Read.GPProgram(), nullptr);
    EXPECT_EQ(Read.GPProgram()->ToString(), Placed.GPProgram()->ToString());
    EXPECT_EQ(Read.GPProgramLines().Text(), Placed.GPProgramLines().Text());
}

// A stream (or checkpoint) may ask for no more than the bounds of the settings that size a
// run; a host still sets any value in code.
TEST(GPStreaming, SizingSettingsAreBoundedForDocuments) {
    const struct {
        const char* Name;
        int Limit;
        int (TFloatGP::*Get)() const;
    } Cases[] = {
        {"InitialPopulation", MaxDocumentPopulation, &TFloatGP::InitialPopulation},
        {"TournamentField", MaxDocumentTournamentField, &TFloatGP::TournamentField},
        {"InitialDuplicatesRetries", MaxDocumentDuplicatesRetries,
         &TFloatGP::InitialDuplicatesRetries},
        {"InitializationDepth", MaxProgramDepth, &TFloatGP::InitializationDepth},
    };
    for (const auto& Case : Cases) {
        const auto Read = [&](TAxGeneticProgramming& GP, long long Value) {
            std::istringstream In("object TAxGeneticProgramming\n  " + std::string(Case.Name) +
                                  " = " + std::to_string(Value) + "\nend\n");
            ReadComponentText(In, GP);
        };
        TAxGeneticProgramming GP;
        Read(GP, Case.Limit);
        EXPECT_EQ((GP.*Case.Get)(), Case.Limit) << Case.Name;
        for (const long long Value : {Case.Limit + 1LL, 2000000000LL}) {
            ExpectError<EReadError>([&] { Read(GP, Value); }, "Line 2: " + std::string(Case.Name) +
                                                                  ": " + std::to_string(Value) +
                                                                  " exceeds the limit of " +
                                                                  std::to_string(Case.Limit));
            EXPECT_EQ((GP.*Case.Get)(), Case.Limit) << Case.Name;
        }
    }
    TAxGeneticProgramming Host;
    Host.SetTournamentField(2000000000);
    Host.SetInitialPopulation(2000000000);
    EXPECT_EQ(std::pair(Host.TournamentField(), Host.InitialPopulation()),
              std::pair(2000000000, 2000000000));
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
    AddInstruction(*GP.Instructions(), "Add", 2);
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
