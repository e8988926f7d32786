// A fitness evaluator that computes a batch on a pool of threads of this process.
//
// Workers counts the calling thread: Workers - 1 threads are started once, in the
// constructor, and wait between batches; the caller computes chunks too while the batch
// runs. Chunks are claimed dynamically, so uneven fitness costs balance out. The host's
// OnEvaluateFitness runs on several threads at once (see docs/parallel.md for what it
// may touch). The first exception a handler throws stops the claiming of further chunks
// and is rethrown on the caller's thread once every worker has finished its chunk.
#pragma once

#include "axgenetic/platform/export.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "axgenetic/core/genetic_component.hpp"

namespace ax {

class AXGENETIC_API TAxThreadEvaluator : public IAxFitnessEvaluator {
public:
    // Workers below 1 count as 1 (the caller alone). ChunkSize 0: guided chunks, each the
    // remaining count over twice the workers, at least 1.
    explicit TAxThreadEvaluator(int Workers = DefaultWorkers(), int ChunkSize = 0);
    ~TAxThreadEvaluator() override;
    TAxThreadEvaluator(const TAxThreadEvaluator&) = delete;
    TAxThreadEvaluator& operator=(const TAxThreadEvaluator&) = delete;

    // The number of hardware threads, at least 1.
    static int DefaultWorkers();
    int Workers() const { return static_cast<int>(FThreads.size()) + 1; }
    int ChunkSize() const { return FChunkSize; }
    // 0 or less: automatic.
    void SetChunkSize(int Value) { FChunkSize = Value < 0 ? 0 : Value; }

    void EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                              const TAxFitnessBatch& Batch) override;

private:
    void WorkerLoop();
    // Claims and computes chunks of the current batch until none is left or one failed.
    void RunChunks();

    std::vector<std::thread> FThreads;
    int FChunkSize;

    std::mutex FMutex;
    std::condition_variable FWake; // a batch was posted, or the pool is stopping
    std::condition_variable FDone; // the last worker finished the batch
    std::uint64_t FSerial = 0;     // counts posted batches
    int FBusy = 0;                 // workers that have not finished the batch yet
    bool FStopping = false;

    // The batch being computed; read by the workers between a post and their finish.
    TAxCustomGeneticComponent* FComponent = nullptr;
    const TAxFitnessBatch* FBatch = nullptr;
    std::atomic<std::size_t> FNext{0};
    std::atomic<bool> FFailed{false};
    std::exception_ptr FError; // guarded by FMutex
};

} // namespace ax
