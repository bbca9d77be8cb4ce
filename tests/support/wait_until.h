// Waiting for what another thread or process brings about: a condition
// tested again and again until it holds or a time limit has passed, so
// that a test neither sleeps longer than it must nor hangs when the
// condition never comes.
#pragma once

#include <chrono>
#include <thread>

namespace osktest {

// Tests holds() at once and then after every pause of interval until it
// returns true or the limit has passed; whether it held. The last test
// comes after the last pause, so a condition that arrives during it still
// counts.
template <typename Predicate>
bool wait_until(Predicate &&holds, std::chrono::milliseconds limit,
                std::chrono::milliseconds interval = std::chrono::milliseconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (holds())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(interval);
    }
}

} // namespace osktest
