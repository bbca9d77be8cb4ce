// A command run through the shell for the tests that start a program and
// read what it printed: its exit code and its standard output, read to the
// end so the program never blocks on a full pipe.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace osktest {

struct CommandOutput {
    int exit_code; // -1 when the shell could not start or the command did not exit
    std::string out;
};

inline CommandOutput run_command(const std::string &command) {
    CommandOutput result{-1, ""};
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, got);
    const int status = ::pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace osktest
