// Run under mpirun with 2 or more ranks: rank 0 evolves seeded runs through the MPI
// evaluator and compares them with the same runs made sequentially, first of a GA, then of
// a GP component; the other ranks serve (even ranks on threads of their own). Every
// rank exits with a failure status when one of its checks fails.
#include "axgenetic/parallel/mpi_evaluator.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <mpi.h>

#include "axgenetic/parallel/evaluation_test_support.hpp"
#include "axgenetic/parallel/gp_genome_codec.hpp"
#include "axgenetic/parallel/thread_evaluator.hpp"

namespace {

using namespace ax;

int GFailures = 0;

void Check(bool Ok, const char* What) {
    if (Ok) return;
    ++GFailures;
    std::fprintf(stderr, "FAILED: %s\n", What);
}

// After a batch that failed, the next batches through the same
// evaluator are computed as if nothing had happened.
void CheckRecovered(TAxMPIEvaluator& Evaluator, const char* What) {
    Check(test::RunWith<TAxGeneticAlgorithm>(&Evaluator, 1) ==
              test::RunWith<TAxGeneticAlgorithm>(nullptr, 1),
          What);
}

void Master(TAxMPIEvaluator& Evaluator, const std::string& Poison) {
    for (const std::uint64_t Seed : {1u, 7u})
        for (const int Chunk : {0, 1}) {
            Evaluator.SetChunkSize(Chunk);
            Check(test::RunWith<TAxGeneticAlgorithm>(&Evaluator, Seed) ==
                      test::RunWith<TAxGeneticAlgorithm>(nullptr, Seed),
                  "a run through the workers differs from the sequential one");
            Check(test::RunWith<test::TRuleGA>(&Evaluator, Seed) ==
                      test::RunWith<test::TRuleGA>(nullptr, Seed),
                  "a run with a rule of the component's own differs from the sequential one");
        }

    Evaluator.SetChunkSize(0);
    test::GPoison = Poison; // the workers have it from the start
    TAxGeneticAlgorithm Sequential;
    test::SetUp(Sequential);
    const test::TRunRecord Expected = test::Run(Sequential, 5, 12);
    TAxGeneticAlgorithm GA;
    test::SetUp(GA);
    GA.SetFitnessEvaluator(&Evaluator);
    Check(test::SameFailure(Expected, test::Run(GA, 5, 12)),
          "a failing worker changed the outcome or lost an individual");
    // The workers are still serving; the same batch fails the same way, reported with
    // the rank and the population index of the failing individual.
    try {
        GA.EvaluateFitness();
        Check(false, "the poisoned batch passed");
    } catch (const EAxWorkerError& E) {
        Check(std::string(E.what()) == test::PoisonMessage, "the handler's message was lost");
        Check(E.Rank() >= 1 && E.Rank() < Evaluator.Size(), "the failing rank is wrong");
        // Ranks computing on threads of their own do not know the failing index.
        Check(E.Index() == -1 ? E.Rank() % 2 == 0
                              : GA.Population()->Items(E.Index())->Bits().ToString() == Poison,
              "the failing index is wrong");
    }
    CheckRecovered(Evaluator, "a run after a failing handler differs from the sequential one");
}

// Rank 1 answers its first task with a reply that does not read; rank 0's batch fails,
// and the chunks still out when it failed must not spill into the next batches.
void MasterOfABadReply(TAxMPIEvaluator& Evaluator, const std::string&) {
    TAxGeneticAlgorithm GA;
    test::SetUp(GA);
    GA.SetFitnessEvaluator(&Evaluator);
    try {
        GA.Initialize();
        Check(false, "a reply that does not read was accepted");
    } catch (const EGAException&) {
    }
    CheckRecovered(Evaluator, "a run after an unreadable reply differs from the sequential one");
}

// The message tags of the evaluator's protocol.
constexpr int TagTask = 1, TagResult = 2;

void AnswerFirstTaskBadly(const TAxMPIEvaluator& Evaluator) {
    if (Evaluator.Rank() != 1) return;
    MPI_Status Status;
    MPI_Probe(0, TagTask, Evaluator.Communicator(), &Status);
    int Count = 0;
    MPI_Get_count(&Status, MPI_BYTE, &Count);
    std::vector<std::byte> Task(static_cast<std::size_t>(Count));
    MPI_Recv(Task.data(), Count, MPI_BYTE, 0, TagTask, Evaluator.Communicator(), MPI_STATUS_IGNORE);
    const std::uint32_t Chunk = 0; // then nothing: the count is missing
    MPI_Send(&Chunk, sizeof Chunk, MPI_BYTE, 0, TagResult, Evaluator.Communicator());
}

void MasterGP(TAxMPIEvaluator& Evaluator, const std::string& Poison) {
    for (const std::uint64_t Seed : {1u, 7u})
        Check(test::RunWith<TAxGeneticProgramming>(&Evaluator, Seed) ==
                  test::RunWith<TAxGeneticProgramming>(nullptr, Seed),
              "a GP run through the workers differs from the sequential one");
    test::GPoison = Poison;
    TAxGeneticProgramming Sequential, GP;
    test::SetUp(Sequential);
    test::SetUp(GP);
    const test::TRunRecord Expected = test::Run(Sequential, 11, 12);
    GP.SetFitnessEvaluator(&Evaluator);
    Check(test::SameFailure(Expected, test::Run(GP, 11, 12)),
          "a failing worker changed the outcome of a GP run or lost an individual");
}

// One evaluator's life on every rank: rank 0 runs RunMaster, the others serve a component
// of class Component whose handler fails on Poison (even ranks on two threads of their own).
template <class Component, class F>
void Phase(std::unique_ptr<IAxGenomeCodec> Codec, const std::string& Poison, const char* What,
           F RunMaster, bool BadFirstReply = false) {
    Check(!Poison.empty(), "no genome to poison");
    TAxMPIEvaluator Evaluator(std::move(Codec));
    if (Evaluator.IsMaster()) {
        RunMaster(Evaluator, Poison);
        Evaluator.Stop();
        std::printf("MPI evaluator, %d ranks, %s: %s\n", Evaluator.Size(), What,
                    GFailures ? "FAILED" : "identical runs, clean failure");
    } else {
        test::GPoison = Poison;
        if (BadFirstReply) AnswerFirstTaskBadly(Evaluator);
        Component Served;
        test::SetUp(Served);
        TAxThreadEvaluator Local(2);
        Check(Evaluator.Serve(Served, Evaluator.Rank() % 2 == 0 ? &Local : nullptr) > 0,
              "a worker rank was given nothing to do");
    }
    test::GPoison.clear();
}

} // namespace

int main(int argc, char** argv) {
    TAxMPIEnvironment Environment(argc, argv);
    // Computed on every rank before anything is distributed: the genomes that fail.
    Phase<TAxGeneticAlgorithm>(std::make_unique<TAxGAGenomeCodec>(), test::ChoosePoison(5, 4), "GA",
                               Master);
    Phase<TAxGeneticProgramming>(std::make_unique<TAxGPFloatGenomeCodec>(),
                                 test::ChoosePoison<TAxGeneticProgramming>(11, 4), "GP", MasterGP);
    Phase<TAxGeneticAlgorithm>(std::make_unique<TAxGAGenomeCodec>(), test::ChoosePoison(5, 4),
                               "unreadable reply", MasterOfABadReply, true);
    return GFailures ? 1 : 0;
}
