// Work shared among threads: part 0 on the calling thread, the others on threads of their own.
#pragma once

#include <exception>
#include <thread>
#include <vector>

// Runs work(part) for every part in [0, parts); an exception thrown by any part is rethrown
// here once all have ended.
template <class Work>
void vxs_run_parts(unsigned parts, Work&& work) {
    std::vector<std::thread> threads;
    std::vector<std::exception_ptr> errors(parts);
    auto guarded = [&](unsigned k) {
        try {
            work(k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    for (unsigned k = 1; k < parts; ++k) threads.emplace_back(guarded, k);
    if (parts > 0) guarded(0);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}
