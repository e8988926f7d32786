#include "axgenetic/parallel/thread_evaluator.hpp"

#include <algorithm>

#include "axgenetic/parallel/chunking.hpp"
#include "axgenetic/parallel/worker_threads.hpp"

namespace ax {

TAxThreadEvaluator::TAxThreadEvaluator(int Workers, int ChunkSize)
    : FChunkSize(ChunkSize < 0 ? 0 : ChunkSize) {
    parallel_detail::StartWorkers(
        FThreads, static_cast<std::size_t>(std::max(Workers, 1) - 1),
        [this](std::size_t) { WorkerLoop(); }, FMutex, FStopping, FWake);
}

TAxThreadEvaluator::~TAxThreadEvaluator() {
    parallel_detail::StopWorkers(FThreads, FMutex, FStopping, FWake);
}

int TAxThreadEvaluator::DefaultWorkers() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

void TAxThreadEvaluator::WorkerLoop() {
    std::uint64_t Seen = 0;
    for (;;) {
        {
            std::unique_lock Lock(FMutex);
            FWake.wait(Lock, [&] { return FStopping || FSerial != Seen; });
            if (FStopping) return;
            Seen = FSerial;
        }
        RunChunks();
        std::lock_guard Lock(FMutex);
        if (--FBusy == 0) FDone.notify_one();
    }
}

void TAxThreadEvaluator::RunChunks() {
    const std::size_t Count = FBatch->Items.size();
    const std::size_t Workers = FThreads.size() + 1;
    std::size_t First = FNext.load(std::memory_order_relaxed);
    while (!FFailed.load(std::memory_order_relaxed)) {
        if (First >= Count) return;
        const std::size_t Length = parallel_detail::ChunkLength(Count - First, Workers, FChunkSize);
        if (!FNext.compare_exchange_weak(First, First + Length, std::memory_order_relaxed))
            continue;
        const std::size_t Last = std::min(Count, First + Length);
        try {
            for (std::size_t I = First; I < Last; ++I)
                FBatch->Fitness[I] = FComponent->RunFitnessHandler(FBatch->Items[I]);
        } catch (...) {
            std::lock_guard Lock(FMutex);
            if (!FError) FError = std::current_exception();
            FFailed = true;
            return;
        }
        First = FNext.load(std::memory_order_relaxed);
    }
}

void TAxThreadEvaluator::EvaluateFitnessBatch(TAxCustomGeneticComponent& Component,
                                              const TAxFitnessBatch& Batch) {
    FComponent = &Component;
    FBatch = &Batch;
    FNext = 0;
    FFailed = false;
    FError = nullptr;
    if (!FThreads.empty()) {
        {
            std::lock_guard Lock(FMutex);
            FBusy = static_cast<int>(FThreads.size());
            ++FSerial;
        }
        FWake.notify_all();
    }
    RunChunks();
    std::exception_ptr Error;
    {
        // Every worker checks in, so none still reads the batch after the return.
        std::unique_lock Lock(FMutex);
        FDone.wait(Lock, [&] { return FBusy == 0; });
        Error = FError;
        FError = nullptr;
    }
    FComponent = nullptr;
    FBatch = nullptr;
    if (Error) std::rethrow_exception(Error);
}

} // namespace ax
