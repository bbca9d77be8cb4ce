// A stand-in for the system log's socket: a Unix datagram socket of the
// test at a path, writable for everyone as the journal's /dev/log is, that
// collects what a process sends to it through syslog(3) once the path is
// put in the place of /dev/log (a bind mount in a mount namespace).
#pragma once

#include <string>

class SystemLogSocket {
  public:
    explicit SystemLogSocket(const std::string &path);
    ~SystemLogSocket();
    SystemLogSocket(const SystemLogSocket &) = delete;
    SystemLogSocket &operator=(const SystemLogSocket &) = delete;

    // Whether the socket is bound at the path.
    bool bound() const { return bound_; }
    // Every message that has arrived since the last call, one a line.
    std::string messages() const;

  private:
    std::string path_;
    int fd_ = -1;
    bool bound_ = false;
};
