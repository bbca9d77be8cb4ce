// The end of a peer thread of the test support that polls a pipe beside
// its socket: one byte written to the pipe wakes it to end, and the pipe
// is closed once the thread has joined.
#pragma once

#include <unistd.h>

#include <thread>

namespace osktest {

inline void stop_woken_thread(std::thread &thread, int (&wake_fd)[2]) {
    if (thread.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = write(wake_fd[1], &byte, 1);
        thread.join();
    }
    for (int &fd : wake_fd) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

} // namespace osktest
