// Starting and stopping the threads of an evaluator's pool.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace ax::parallel_detail {

// Sets Stopping under Mutex, wakes every thread waiting on Wake and joins them all.
inline void StopWorkers(std::vector<std::thread>& Threads, std::mutex& Mutex, bool& Stopping,
                        std::condition_variable& Wake) {
    {
        std::lock_guard Lock(Mutex);
        Stopping = true;
    }
    Wake.notify_all();
    for (std::thread& T : Threads)
        T.join();
}

// Starts Count threads running Body(I) for I from 1 to Count (0 is the caller's share).
// When a start fails, the threads already started are stopped and the failure rethrown:
// none outlives a failed construction.
template <class F>
void StartWorkers(std::vector<std::thread>& Threads, std::size_t Count, F Body, std::mutex& Mutex,
                  bool& Stopping, std::condition_variable& Wake) {
    Threads.reserve(Count);
    try {
        for (std::size_t I = 1; I <= Count; ++I)
            Threads.emplace_back([Body, I] { Body(I); });
    } catch (...) {
        StopWorkers(Threads, Mutex, Stopping, Wake);
        throw;
    }
}

} // namespace ax::parallel_detail
