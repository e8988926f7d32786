#include "axgenetic/parallel/parallel_batch_evaluator.hpp"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "axgenetic/parallel/worker_threads.hpp"
#include "axgenetic/platform/exceptions.hpp"

namespace ax {

TAxGPParallelBatchEvaluator::TAxGPParallelBatchEvaluator(int Workers, int MinRows)
    : FMinRows(std::max(MinRows, 1)) {
    const std::size_t Count = static_cast<std::size_t>(std::max(Workers, 1));
    for (std::size_t I = 0; I < Count; ++I)
        FEvaluators.push_back(std::make_unique<TAxGPBatchEvaluator>());
    FRanges.resize(Count);
    parallel_detail::StartWorkers(
        FThreads, Count - 1, [this](std::size_t Index) { WorkerLoop(Index); }, FMutex, FStopping,
        FWake);
}

TAxGPParallelBatchEvaluator::~TAxGPParallelBatchEvaluator() {
    parallel_detail::StopWorkers(FThreads, FMutex, FStopping, FWake);
}

namespace {

// Polls Ready for up to about SpinTime before giving up; true once it holds.
constexpr auto SpinTime = std::chrono::microseconds(200);
template <class F> bool SpinUntil(F Ready) {
    const auto Start = std::chrono::steady_clock::now();
    for (int I = 1;; ++I) {
        if (Ready()) return true;
        if (I % 64 == 0 && std::chrono::steady_clock::now() - Start > SpinTime) return false;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
}

} // namespace

void TAxGPParallelBatchEvaluator::WorkerLoop(std::size_t Index) {
    std::uint64_t Seen = 0;
    for (;;) {
        if (!SpinUntil([&] { return FSerial.load(std::memory_order_acquire) != Seen; })) {
            std::unique_lock Lock(FMutex);
            ++FSleepers;
            FWake.wait(Lock, [&] { return FStopping || FSerial.load() != Seen; });
            --FSleepers;
            if (FStopping) return;
        }
        Seen = FSerial.load(std::memory_order_acquire);
        RunRange(Index);
        if (FBusy.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            std::lock_guard Lock(FMutex);
            if (FCallerAsleep) FDone.notify_one();
        }
    }
}

void TAxGPParallelBatchEvaluator::RunRange(std::size_t Index) noexcept {
    const TRange& R = FRanges[Index];
    if (R.Count == 0) return;
    try {
        FEvaluators[Index]->Evaluate(*FRoot, *FData, FOut, R.First, R.Count);
    } catch (...) {
        std::lock_guard Lock(FMutex);
        if (!FError) FError = std::current_exception();
    }
}

void TAxGPParallelBatchEvaluator::Evaluate(const TAxGPNode<TGAFloat>& Root,
                                           const TAxGPDataSet& Data, std::span<TGAFloat> Out) {
    const int Rows = Data.RowCount();
    if (static_cast<int>(Out.size()) < Rows)
        throw EListError("List index out of bounds (" + std::to_string(Out.size()) + ")");
    for (auto& E : FEvaluators)
        E->Context().Values().Assign(FContext.Values());
    // Whole blocks per range, so that each range runs the blocks the single evaluator runs.
    const int Block = FEvaluators[0]->BlockSize();
    const int Parts = std::clamp(Rows / FMinRows, 1, Workers());
    if (Parts == 1) {
        FEvaluators[0]->Evaluate(Root, Data, Out);
        return;
    }
    const int Blocks = (Rows + Block - 1) / Block;
    const int PerPart = (Blocks + Parts - 1) / Parts * Block;
    for (std::size_t I = 0; I < FRanges.size(); ++I) {
        const int First = std::min(Rows, static_cast<int>(I) * PerPart);
        FRanges[I] = {First, std::min(PerPart, Rows - First)};
    }
    bool Wake;
    {
        std::lock_guard Lock(FMutex);
        FRoot = &Root;
        FData = &Data;
        FOut = Out;
        FError = nullptr;
        FBusy.store(static_cast<int>(FThreads.size()), std::memory_order_relaxed);
        FSerial.fetch_add(1, std::memory_order_release);
        Wake = FSleepers > 0;
    }
    if (Wake) FWake.notify_all();
    RunRange(0);
    std::unique_lock Lock(FMutex);
    if (FBusy.load(std::memory_order_acquire) != 0) {
        Lock.unlock();
        SpinUntil([&] { return FBusy.load(std::memory_order_acquire) == 0; });
        Lock.lock();
        FCallerAsleep = true;
        FDone.wait(Lock, [&] { return FBusy.load(std::memory_order_acquire) == 0; });
        FCallerAsleep = false;
    }
    if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
}

} // namespace ax
