// The genetic algorithm for Python: genes and settings as the component has them, and the
// fitness as a Python callable, either per individual (a list of decoded gene values) or
// per generation (a NumPy matrix with one row of decoded values per individual).
#include "binding.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "axgenetic/core/genetic_component.hpp"
#include "axgenetic/ga/genetic_algorithm.hpp"
#include "axgenetic/platform/random.hpp"

namespace axpy {

namespace {

using ax::TAxGAGene;
using ax::TAxGAIndividual;
using ax::TGeneType;

bool IsDouble(const TAxGAGene& G) {
    return G.Size() >= 64;
}

// One gene's value as a number: Booleans 0/1, enumerations their index.
double GeneNumber(const TAxGAGene& G, ax::TAxEncodedBits& Bits) {
    switch (G.GeneType()) {
    case TGeneType::gtBoolean:
        return G.GeneAsBoolean(Bits) ? 1 : 0;
    case TGeneType::gtInteger:
        return static_cast<double>(G.Size() > 32 ? G.GeneAsInt64(Bits) : G.GeneAsInteger(Bits));
    case TGeneType::gtFloat:
        return IsDouble(G) ? G.GeneAsDouble(Bits) : G.GeneAsFloat(Bits);
    case TGeneType::gtEnumeration:
        return G.GeneAsEnumerationIndex(Bits);
    case TGeneType::gtUnknown:
        break;
    }
    return static_cast<double>(G.GeneAsInt64(Bits));
}

// One gene's value as Python has it: bool, int, float, the enumerated text (None when the
// bits hold an index past the values), the bit text for a gene of unknown type.
py::object GeneObject(const TAxGAGene& G, ax::TAxEncodedBits& Bits) {
    switch (G.GeneType()) {
    case TGeneType::gtBoolean:
        return py::bool_(G.GeneAsBoolean(Bits));
    case TGeneType::gtInteger:
        return py::int_(G.Size() > 32 ? G.GeneAsInt64(Bits) : G.GeneAsInteger(Bits));
    case TGeneType::gtFloat:
        return py::float_(IsDouble(G) ? G.GeneAsDouble(Bits) : G.GeneAsFloat(Bits));
    case TGeneType::gtEnumeration: {
        const int Index = G.GeneAsEnumerationIndex(Bits);
        if (Index >= G.EnumerationCount()) return py::none();
        return py::str(G.GeneAsEnumeration(Bits));
    }
    case TGeneType::gtUnknown:
        break;
    }
    return py::str(G.AsString(Bits));
}

class TPyGeneticAlgorithm;

// Hands a generation's stale individuals to the batch callable at once.
class TBatchEvaluator final : public ax::IAxFitnessEvaluator {
public:
    explicit TBatchEvaluator(TPyGeneticAlgorithm& Owner) : FOwner(Owner) {}
    void EvaluateFitnessBatch(ax::TAxCustomGeneticComponent&,
                              const ax::TAxFitnessBatch& Batch) override;

private:
    TPyGeneticAlgorithm& FOwner;
};

class TPyGeneticAlgorithm {
public:
    TPyGeneticAlgorithm() : FEvaluator(*this) {
        GA.SetOnEvaluateFitness([this](TAxGAIndividual& Item, ax::TGAFitness& Fitness) {
            Fitness = EvaluateOne(Item);
        });
    }

    ax::TAxGeneticAlgorithm GA;

    int AddGene(py::handle Type, int Size, const std::string& Name, std::optional<double> Min,
                std::optional<double> Max, bool PreserveSignBit,
                std::optional<std::vector<std::string>> Enumerations) {
        const TGeneType T = EnumArgument<TGeneType>(Type, "gene type");
        if (Size < 0) throw py::value_error("a gene's size cannot be negative");
        if (T == TGeneType::gtEnumeration && (!Enumerations || Enumerations->empty()))
            throw py::value_error("an enumeration gene needs its values (enumerations=[...])");
        if (T != TGeneType::gtEnumeration && Size == 0)
            throw py::value_error("gene \"" + Name + "\" needs a size of at least one bit");
        TAxGAGene* G = GA.Genes()->Add();
        G->SetName(Name);
        G->SetGeneType(T);
        G->SetPreserveSignBit(PreserveSignBit);
        if (Enumerations) {
            ax::TStringList Values;
            for (const auto& V : *Enumerations)
                Values.Add(V);
            G->SetEnumerations(Values);
        }
        if (Size > 0) G->SetSize(Size);
        // Size, type and sign bit reset the bounds, so the bounds come last; writing the
        // maximum moves the minimum, so the maximum goes first and both hold as given.
        if (Max) G->SetMaxValue(*Max);
        if (Min) G->SetMinValue(*Min);
        return G->Index();
    }

    py::list Genes() const {
        py::list L;
        for (int I = 0; I < GA.Genes()->Count(); ++I) {
            const TAxGAGene& G = *GA.Genes()->Items(I);
            py::dict D;
            D["name"] = G.Name();
            D["type"] = G.GeneType();
            D["size"] = G.Size();
            D["offset"] = G.Offset();
            D["min_value"] = G.MinValue();
            D["max_value"] = G.MaxValue();
            D["preserve_sign_bit"] = G.PreserveSignBit();
            std::vector<std::string> Values;
            if (G.HasEnumerations())
                for (int V = 0; V < G.EnumerationCount(); ++V)
                    Values.push_back(const_cast<TAxGAGene&>(G).Enumerations().Strings(V));
            D["enumerations"] = Values;
            L.append(D);
        }
        return L;
    }

    void SetFitness(py::object F) {
        if (!F.is_none() && !PyCallable_Check(F.ptr()))
            throw py::type_error("fitness must be callable (genes: list) -> float, or None");
        FFitness = std::move(F);
        if (!FFitness.is_none()) SetBatchFitness(py::none());
    }
    py::object Fitness() const { return FFitness; }
    void SetBatchFitness(py::object F) {
        if (!F.is_none() && !PyCallable_Check(F.ptr()))
            throw py::type_error(
                "batch_fitness must be callable (genes: numpy.ndarray) -> sequence, or None");
        FBatchFitness = std::move(F);
        GA.SetFitnessEvaluator(FBatchFitness.is_none() ? nullptr : &FEvaluator);
        if (!FBatchFitness.is_none()) FFitness = py::none();
    }
    py::object BatchFitness() const { return FBatchFitness; }

    int Evolve(int Generations) {
        CheckRunnable();
        TRunLock Lock;
        return GA.Evolve(Generations);
    }
    void Initialize() {
        CheckRunnable();
        TRunLock Lock;
        GA.Initialize();
    }

    // The decoded genes of the individual: one row per individual.
    py::array_t<double> Matrix(std::span<ax::TAxIndividual* const> Items) const {
        const auto Genes = GA.Genes()->Count();
        py::array_t<double> M(
            {static_cast<py::ssize_t>(Items.size()), static_cast<py::ssize_t>(Genes)});
        auto W = M.mutable_unchecked<2>();
        for (std::size_t R = 0; R < Items.size(); ++R)
            for (int C = 0; C < Genes; ++C)
                W(static_cast<py::ssize_t>(R), C) = GeneNumber(
                    *GA.Genes()->Items(C), static_cast<TAxGAIndividual*>(Items[R])->Bits());
        return M;
    }

    py::list Values(TAxGAIndividual& Item) const {
        py::list L;
        for (int C = 0; C < GA.Genes()->Count(); ++C)
            L.append(GeneObject(*GA.Genes()->Items(C), Item.Bits()));
        return L;
    }

    TAxGAIndividual& Best() const {
        if (!GA.FittestIndividual())
            throw py::value_error("no fittest individual yet: call evolve first");
        return *GA.FittestIndividual();
    }

    py::array_t<double> PopulationMatrix() const {
        std::vector<ax::TAxIndividual*> Items;
        for (int I = 0; I < GA.Population()->Count(); ++I)
            Items.push_back(GA.Population()->Items(I));
        return Matrix(Items);
    }

    void RunBatch(const ax::TAxFitnessBatch& Batch) {
        py::array_t<double> M = Matrix(Batch.Items);
        py::object Result = FBatchFitness(M);
        auto Values = py::array_t<double, py::array::forcecast>::ensure(Result);
        if (!Values || Values.ndim() != 1 ||
            Values.shape(0) != static_cast<py::ssize_t>(Batch.Items.size()))
            throw py::value_error("batch_fitness must return one number per row: " +
                                  std::to_string(Batch.Items.size()) + " values expected");
        auto R = Values.unchecked<1>();
        for (std::size_t I = 0; I < Batch.Items.size(); ++I)
            Batch.Fitness[I] = R(static_cast<py::ssize_t>(I));
    }

private:
    void CheckRunnable() const {
        if (FFitness.is_none() && FBatchFitness.is_none())
            throw py::value_error("set fitness or batch_fitness before evolving");
    }

    double EvaluateOne(TAxGAIndividual& Item) {
        if (!FBatchFitness.is_none()) {
            // Outside a statistics pass (a single stale individual read): a batch of one.
            ax::TAxIndividual* Items[] = {&Item};
            py::array_t<double> Values =
                py::array_t<double, py::array::forcecast>::ensure(FBatchFitness(Matrix(Items)));
            if (!Values || Values.size() != 1)
                throw py::value_error(
                    "batch_fitness must return one number per row: 1 value expected");
            return *Values.data();
        }
        if (FFitness.is_none()) throw py::value_error("no fitness callable is set");
        py::object Result = FFitness(Values(Item));
        if (!py::isinstance<py::float_>(Result) && !py::isinstance<py::int_>(Result) &&
            !PyNumber_Check(Result.ptr()))
            throw py::type_error("fitness must return a number, not " +
                                 std::string(py::str(py::type::of(Result).attr("__name__"))));
        return py::float_(Result).cast<double>();
    }

    py::object FFitness = py::none();
    py::object FBatchFitness = py::none();
    TBatchEvaluator FEvaluator;
};

void TBatchEvaluator::EvaluateFitnessBatch(ax::TAxCustomGeneticComponent&,
                                           const ax::TAxFitnessBatch& Batch) {
    FOwner.RunBatch(Batch);
}

// A read/write property of the component through its getter and setter.
template <class T, class Get, class Set>
void Property(py::class_<TPyGeneticAlgorithm>& C, const char* Name, Get G, Set S, const char* Doc) {
    C.def_property(
        Name, [G](const TPyGeneticAlgorithm& P) -> T { return (P.GA.*G)(); },
        [S](TPyGeneticAlgorithm& P, T V) { (P.GA.*S)(V); }, Doc);
}

template <class E, class Get, class Set>
void EnumProperty(py::class_<TPyGeneticAlgorithm>& C, const char* Name, Get G, Set S,
                  const char* Doc) {
    C.def_property(
        Name, [G](const TPyGeneticAlgorithm& P) -> E { return (P.GA.*G)(); },
        [S, Name](TPyGeneticAlgorithm& P, py::handle V) { (P.GA.*S)(EnumArgument<E>(V, Name)); },
        Doc);
}

} // namespace

void BindGeneticAlgorithm(py::module_& M) {
    using GA = ax::TAxGeneticAlgorithm;
    BindEnum<TGeneType>(M, "GeneType", "The type of a gene.");
    BindEnum<ax::TGACrossoverMethod>(M, "CrossoverMethod", "Where crossover cuts a chromosome.");
    BindEnum<ax::TGAFitnessMethod>(M, "FitnessMethod", "Direction and scale of the fitness.");
    BindEnum<ax::TGASelectionMethod>(M, "SelectionMethod", "How parents are selected.");

    py::class_<TPyGeneticAlgorithm> C(M, "GeneticAlgorithm", R"(The genetic algorithm.

Genes are typed fields of a bit-string chromosome (add_gene). The fitness is a callable:
either `fitness(genes)` with the decoded values of one individual as a list (bool, int,
float, enumerated text), or `batch_fitness(matrix)` with one row of decoded values per
individual (Booleans 0/1, enumerations their index) returning one value per row. The run
draws every random number from the library's global generator: seed it with
axgenetic.rand_seed for a run that repeats exactly, the same as from C++.)");
    C.def(py::init<>())
        .def("add_gene", &TPyGeneticAlgorithm::AddGene, py::arg("type"), py::arg("size") = 0,
             py::arg("name") = "", py::arg("min_value") = py::none(),
             py::arg("max_value") = py::none(), py::arg("preserve_sign_bit") = false,
             py::arg("enumerations") = py::none(),
             R"(Adds a gene after the others and returns its index.

type is a GeneType or its name ("boolean", "integer", "float", "enumeration"); size is in
bits (an enumeration gene takes the bits its values need when size is 0); the bounds,
when given, clamp the values written into the gene (random bits are not clamped: repair
in the fitness where it matters).)")
        .def_property_readonly("genes", &TPyGeneticAlgorithm::Genes, "The genes as dicts.")
        .def_property("fitness", &TPyGeneticAlgorithm::Fitness, &TPyGeneticAlgorithm::SetFitness,
                      "Callable (genes: list) -> float, called once per changed individual.")
        .def_property(
            "batch_fitness", &TPyGeneticAlgorithm::BatchFitness,
            &TPyGeneticAlgorithm::SetBatchFitness,
            "Callable (genes: ndarray of shape (n, genes)) -> n values, once per generation.")
        .def("initialize", &TPyGeneticAlgorithm::Initialize,
             "Creates and evaluates the initial population.")
        .def("evolve", &TPyGeneticAlgorithm::Evolve, py::arg("generations") = 1,
             "Runs up to generations generations (initializing first when needed); returns how "
             "many ran.")
        .def_property_readonly("generation",
                               [](const TPyGeneticAlgorithm& P) { return P.GA.Generation(); })
        .def_property_readonly("min_fitness",
                               [](const TPyGeneticAlgorithm& P) { return P.GA.MinFitness(); })
        .def_property_readonly("max_fitness",
                               [](const TPyGeneticAlgorithm& P) { return P.GA.MaxFitness(); })
        .def_property_readonly("avg_fitness",
                               [](const TPyGeneticAlgorithm& P) { return P.GA.AvgFitness(); })
        .def_property_readonly("diversity",
                               [](const TPyGeneticAlgorithm& P) { return P.GA.Diversity(); })
        .def_property_readonly(
            "best_fitness", [](const TPyGeneticAlgorithm& P) { return P.Best().Fitness(); },
            "Raw fitness of the fittest individual.")
        .def_property_readonly(
            "best_genes", [](const TPyGeneticAlgorithm& P) { return P.Values(P.Best()); },
            "Decoded genes of the fittest individual.")
        .def_property_readonly(
            "best_bits", [](const TPyGeneticAlgorithm& P) { return P.Best().Bits().ToString(); },
            "The fittest individual's chromosome as text.")
        .def("population_genes", &TPyGeneticAlgorithm::PopulationMatrix,
             "The decoded genes of the current population, one row per individual.")
        .def(
            "save_text",
            [](TPyGeneticAlgorithm& P) {
                std::ostringstream S;
                P.GA.SaveToStream(S);
                return S.str();
            },
            "The component (settings, genes, population) as its XML document.")
        .def(
            "load_text",
            [](TPyGeneticAlgorithm& P, const std::string& Text) {
                std::istringstream S(Text);
                P.GA.LoadFromStream(S);
            },
            py::arg("text"),
            "Replaces settings, genes and population by those of an XML document.");

    Property<int>(C, "initial_population", &GA::InitialPopulation, &GA::SetInitialPopulation,
                  "Individuals of the initial population (default 100).");
    Property<int>(C, "initial_duplicates_retries", &GA::InitialDuplicatesRetries,
                  &GA::SetInitialDuplicatesRetries,
                  "Redraws spent on duplicate chromosomes (default 10).");
    Property<double>(C, "crossover_probability", &GA::CrossoverProbability,
                     &GA::SetCrossoverProbability,
                     "Chance that a pair of children is bred by crossover (default 0.98).");
    Property<double>(C, "mutation_probability", &GA::MutationProbability,
                     &GA::SetMutationProbability,
                     "Chance that each bit of a child flips (default 0.01).");
    Property<double>(C, "inversion_probability", &GA::InversionProbability,
                     &GA::SetInversionProbability,
                     "Chance that a child has a run of bits complemented (default 0.1).");
    Property<double>(C, "elitist_pct", &GA::ElitistPct, &GA::SetElitistPct,
                     "Share of the population elitist selection cycles through (default 0.1).");
    Property<int>(C, "tournament_field", &GA::TournamentField, &GA::SetTournamentField,
                  "Tournament size (default 2).");
    Property<bool>(C, "use_generation_limit", &GA::UseGenerationLimit, &GA::SetUseGenerationLimit,
                   "");
    Property<int>(C, "generation_limit", &GA::GenerationLimit, &GA::SetGenerationLimit, "");
    Property<bool>(C, "use_fitness_cutoff", &GA::UseFitnessCutoff, &GA::SetUseFitnessCutoff, "");
    Property<double>(C, "fitness_cutoff", &GA::FitnessCutoff, &GA::SetFitnessCutoff, "");
    Property<bool>(C, "use_diversity_limit", &GA::UseDiversityLimit, &GA::SetUseDiversityLimit, "");
    Property<double>(C, "diversity_limit", &GA::DiversityLimit, &GA::SetDiversityLimit, "");
    Property<bool>(C, "halt", &GA::Halt, &GA::SetHalt,
                   "Set from the fitness to stop evolve after this generation.");
    Property<int>(C, "gene_size", &GA::GeneSize, &GA::SetGeneSize, "Chromosome length in bits.");
    EnumProperty<ax::TGAFitnessMethod>(
        C, "fitness_method", &GA::FitnessMethod, &GA::SetFitnessMethod,
        "fmMinimize (default), fmMaximize, or the weighted methods.");
    EnumProperty<ax::TGASelectionMethod>(C, "selection_method", &GA::SelectionMethod,
                                         &GA::SetSelectionMethod,
                                         "Default smStochasticTournament.");
    EnumProperty<ax::TGACrossoverMethod>(C, "crossover_method", &GA::CrossoverMethod,
                                         &GA::SetCrossoverMethod, "Default cmGeneBoundary.");

    M.def(
        "rand_seed", [](std::uint64_t Seed) { ax::RandSeed(Seed); }, py::arg("seed"),
        "Restarts the library's global generator: the next run repeats exactly for a seed.");
}

} // namespace axpy
