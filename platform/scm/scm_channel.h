// The control channel between the service control manager and a service's
// dispatcher: Unix-domain stream sockets in the state directory carrying
// one short text line at a time. Every wait has a time limit, so that a
// peer that has gone or hangs never holds the other side.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win_types.h"

namespace platform::scm {

// Longest line, its line feed included.
constexpr std::size_t kMaxLine = 512;

// Longest socket path the system takes.
constexpr std::size_t kMaxSocketPath = 107;

struct Peer {
    int pid = 0;
    unsigned uid = 0;
};

// Listens at the path (a stale socket there is replaced), readable and
// writable by the owner only. 0, or the Win32 code
// (ERROR_FILENAME_EXCED_RANGE for a path too long for a socket).
DWORD listen_socket(const std::string &path, int &fd);

// Connects to the path, trying for up to timeout_ms while the listener's
// queue is full. ERROR_FILE_NOT_FOUND when nothing listens there,
// ERROR_SERVICE_REQUEST_TIMEOUT when the time ran out.
DWORD connect_socket(const std::string &path, int timeout_ms, int &fd);

// The next connection within timeout_ms, with who made it; -1 when none
// came in time.
int accept_connection(int listen_fd, int timeout_ms, Peer &peer);

// Root, or the user this process runs as: the only peers a channel serves.
bool peer_allowed(const Peer &peer);

// Sends the line and its line feed; false when the peer has gone.
bool send_line(int fd, const std::string &line);

enum class Received { line, closed, timeout, failed };

// The next line (without its line feed) within timeout_ms. A line longer
// than kMaxLine fails.
Received receive_line(int fd, int timeout_ms, std::string &line);

} // namespace platform::scm
