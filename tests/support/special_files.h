// Things that are not regular files, planted where the agent expects one
// of its files (a FIFO, a link to a device, a directory, a socket), and a
// guard that frees an open left waiting on a FIFO, so that a test of an
// open that must not wait fails instead of hanging.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace osktest {

enum class Special {
    fifo,
    link_to_dev_zero, // reads without end
    link_to_dev_null, // reads as empty
    directory,
    socket,
    dangling_link, // a link to nothing
};

// A name for test output.
const char *special_name(Special kind);

// Makes the thing at path (which must not exist); false when it cannot.
bool plant_special(const std::string &path, Special kind);

// Guards an open of the FIFO at path that must not wait: when waited() has
// not been called within the limit, the open is taken to wait and is let
// go (a writer and a reader come and leave at once), and waited() then
// says so. Call waited() as soon as the open has returned.
class FifoWaitGuard {
  public:
    FifoWaitGuard(const std::string &path, std::chrono::milliseconds limit);
    ~FifoWaitGuard();
    FifoWaitGuard(const FifoWaitGuard &) = delete;
    FifoWaitGuard &operator=(const FifoWaitGuard &) = delete;

    // True when the open waited past the limit. Ends the watch.
    bool waited();

  private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> waited_{false};
    std::thread watcher_;
};

} // namespace osktest
