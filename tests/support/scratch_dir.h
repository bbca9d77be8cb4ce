// A fresh directory for one test, removed with everything in it at the end.
#pragma once

#include <string>

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    // The directory's path, without a trailing '/'.
    const std::string &path() const { return path_; }
    // The path of a name inside the directory.
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// The whole content of a file as bytes; empty when it cannot be read.
std::string read_file_bytes(const std::string &path);

// Writes the bytes as the file's whole content.
void write_file_bytes(const std::string &path, const std::string &bytes);

// Creates nested directories below base whose path, without a trailing
// '/', has exactly length characters (more than base and its '/'), and
// returns that path.
std::string make_directory_of_length(const std::string &base, std::size_t length);
