// Planting FIFOs, device links, directories and sockets for the tests of
// the agent's file opening, and the guard against an open that waits.
#include "tests/support/special_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace osktest {

const char *special_name(Special kind) {
    switch (kind) {
    case Special::fifo:
        return "fifo";
    case Special::link_to_dev_zero:
        return "link_to_dev_zero";
    case Special::link_to_dev_null:
        return "link_to_dev_null";
    case Special::directory:
        return "directory";
    case Special::socket:
        return "socket";
    case Special::dangling_link:
        return "dangling_link";
    }
    return "?";
}

namespace {

bool plant_socket(const std::string &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // The socket file stays after the socket is closed.
    const bool bound =
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace

bool plant_special(const std::string &path, Special kind) {
    switch (kind) {
    case Special::fifo:
        return ::mkfifo(path.c_str(), 0644) == 0;
    case Special::link_to_dev_zero:
        return ::symlink("/dev/zero", path.c_str()) == 0;
    case Special::link_to_dev_null:
        return ::symlink("/dev/null", path.c_str()) == 0;
    case Special::directory:
        return ::mkdir(path.c_str(), 0755) == 0;
    case Special::socket:
        return plant_socket(path);
    case Special::dangling_link:
        return ::symlink((path + ".nothing").c_str(), path.c_str()) == 0;
    }
    return false;
}

FifoWaitGuard::FifoWaitGuard(const std::string &path, std::chrono::milliseconds limit)
    : watcher_([this, path, limit] {
          const auto until = std::chrono::steady_clock::now() + limit;
          while (!stop_ && std::chrono::steady_clock::now() < until)
              std::this_thread::sleep_for(std::chrono::milliseconds(10));
          if (stop_)
              return;
          // The open under test still waits: a writer that comes lets a
          // reader go, and a reader a writer; each leaves at once.
          waited_ = true;
          for (const int mode : {O_WRONLY, O_RDONLY}) {
              const int fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0)
                  ::close(fd);
          }
      }) {}

FifoWaitGuard::~FifoWaitGuard() {
    stop_ = true;
    if (watcher_.joinable())
        watcher_.join();
}

bool FifoWaitGuard::waited() {
    stop_ = true;
    if (watcher_.joinable())
        watcher_.join();
    return waited_;
}

} // namespace osktest
