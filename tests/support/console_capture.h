// What reaches the console during a test: the capture allocates the
// console and points it at a temporary file, and gives the text back.
#pragma once

#include <string>

class ConsoleCapture {
  public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    // Everything written since the start or the last clear().
    std::string text() const;
    void clear();
    // The file behind the console.
    int fd() const { return fd_; }

  private:
    int fd_;
    int previous_fd_;
};
