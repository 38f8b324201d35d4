// Polling with a generous limit, for tests that watch other threads.
#pragma once

#include <chrono>
#include <thread>

namespace mvtest {

// Polls until `pred` holds; false when it still does not after ten seconds.
template <class Pred>
bool Eventually(Pred pred)
{
    using namespace std::chrono_literals;
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace mvtest
