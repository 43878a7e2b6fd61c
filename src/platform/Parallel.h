#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vexana::platform {

// Runs produce(i) for every i in [0, n) on worker threads and consume(i) on the calling
// thread in increasing order, each as soon as its produce has finished. Work that only
// reads shared data is spread over the cores while the caller does what must stay on one
// thread (the database). The first exception thrown on either side ends the run and is
// rethrown here once every worker has stopped.
template <class Produce, class Consume>
void produceInOrder(std::size_t n, Produce&& produce, Consume&& consume) {
    // The calling thread keeps a core of its own: it is the one the others wait for.
    const unsigned cores = std::thread::hardware_concurrency();
    const std::size_t workers = std::min<std::size_t>(n, std::clamp(cores, 2u, 9u) - 1);
    if (cores <= 1 || n <= 1) {
        for (std::size_t i = 0; i < n; ++i) {
            produce(i);
            consume(i);
        }
        return;
    }
    std::mutex m;
    std::condition_variable done;
    std::vector<char> ready(n, 0);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;
    auto fail = [&](std::exception_ptr e) {
        std::lock_guard lock(m);
        if (!failure) failure = e;
        stop = true;
        done.notify_all();
    };
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w)
        threads.emplace_back([&] {
            for (std::size_t i; !stop && (i = next++) < n;) {
                try {
                    produce(i);
                } catch (...) {
                    fail(std::current_exception());
                    return;
                }
                std::lock_guard lock(m);
                ready[i] = 1;
                done.notify_all();
            }
        });
    for (std::size_t i = 0; i < n; ++i) {
        {
            std::unique_lock lock(m);
            done.wait(lock, [&] { return ready[i] || stop; });
            if (!ready[i]) break;
        }
        try {
            consume(i);
        } catch (...) {
            fail(std::current_exception());
            break;
        }
    }
    stop = true;
    for (auto& t : threads)
        t.join();
    if (failure) std::rethrow_exception(failure);
}

} // namespace vexana::platform
