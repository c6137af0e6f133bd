#pragma once

#include <chrono>
#include <thread>

namespace tavirel::test {

// Polls until done() holds, for at most limit.
template <typename F>
bool Eventually(F done, std::chrono::milliseconds limit = std::chrono::seconds(2)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}  // namespace tavirel::test
