// The batch evaluator over wide data on several threads of this process.
//
// Each Evaluate splits the data set's rows into one contiguous range per worker (whole
// blocks, at least MinRows rows each, so small data sets stay on the caller's thread) and
// evaluates every range with a TAxGPBatchEvaluator of its own. Every row is computed as the
// single evaluator computes it, so the results are the same bit for bit, whatever the
// number of workers. Workers counts the calling thread, which takes the first range; the
// other threads are started once, in the constructor.
//
// The program's tree is only read while the threads run. Handlers run on several threads
// at once: batch handlers and the per-point handlers of nodes that run point by point
// must not change shared state. The first exception a range raises is rethrown on the
// caller's thread once every range has finished.
#pragma once

#include "axgenetic/platform/export.hpp"
#include <atomic>

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "axgenetic/gp/engine/batch_evaluator.hpp"

namespace ax {

class AXGENETIC_API TAxGPParallelBatchEvaluator {
public:
    static constexpr int DefaultMinRows = 8192;

    // Workers below 1 count as 1 (the caller alone); MinRows below 1 counts as 1.
    explicit TAxGPParallelBatchEvaluator(int Workers, int MinRows = DefaultMinRows);
    ~TAxGPParallelBatchEvaluator();
    TAxGPParallelBatchEvaluator(const TAxGPParallelBatchEvaluator&) = delete;
    TAxGPParallelBatchEvaluator& operator=(const TAxGPParallelBatchEvaluator&) = delete;

    int Workers() const { return static_cast<int>(FEvaluators.size()); }
    int MinRows() const { return FMinRows; }
    // Values of variables that have no column, as TAxGPBatchEvaluator::Context; every
    // worker's evaluator gets a copy at each Evaluate.
    TAxGPContext<TGAFloat>& Context() { return FContext; }

    // As TAxGPBatchEvaluator::Evaluate, the rows shared among the workers.
    void Evaluate(const TAxGPNode<TGAFloat>& Root, const TAxGPDataSet& Data,
                  std::span<TGAFloat> Out);

private:
    struct TRange {
        int First = 0;
        int Count = 0;
    };
    void WorkerLoop(std::size_t Index);
    void RunRange(std::size_t Index) noexcept;

    int FMinRows;
    TAxGPContext<TGAFloat> FContext;
    std::vector<std::unique_ptr<TAxGPBatchEvaluator>> FEvaluators; // one per worker
    std::vector<TRange> FRanges;                                   // one per worker
    std::vector<std::thread> FThreads;

    std::mutex FMutex;
    std::condition_variable FWake;
    std::condition_variable FDone;
    // Written under FMutex, also read without it by threads that wait a moment before they
    // sleep: evaluations follow one another closely, and waking a sleeping thread costs
    // tens of microseconds on some machines, as much as a range of rows takes.
    std::atomic<std::uint64_t> FSerial = 0;
    std::atomic<int> FBusy = 0;
    int FSleepers = 0;          // workers waiting on FWake; guarded by FMutex
    bool FCallerAsleep = false; // the caller waits on FDone; guarded by FMutex
    bool FStopping = false;
    // The evaluation being run; read by the workers between a post and their finish.
    const TAxGPNode<TGAFloat>* FRoot = nullptr;
    const TAxGPDataSet* FData = nullptr;
    std::span<TGAFloat> FOut;
    std::exception_ptr FError; // guarded by FMutex
};

} // namespace ax
