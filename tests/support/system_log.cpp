// SystemLogSocket over a non-blocking Unix datagram socket.
#include "tests/support/system_log.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

SystemLogSocket::SystemLogSocket(const std::string &path) : path_(path) {
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    if (path.size() >= sizeof at.sun_path)
        return;
    path.copy(at.sun_path, path.size());
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr *>(&at), sizeof at) == 0 &&
             ::chmod(path.c_str(), 0666) == 0;
}

SystemLogSocket::~SystemLogSocket() {
    if (fd_ >= 0)
        ::close(fd_);
    if (bound_)
        ::unlink(path_.c_str());
}

std::string SystemLogSocket::messages() const {
    std::string all;
    char buffer[2048];
    for (ssize_t n; fd_ >= 0 && (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;)
        all.append(buffer, static_cast<std::size_t>(n)) += '\n';
    return all;
}
