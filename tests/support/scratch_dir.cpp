// ScratchDir under the system's temporary directory, and whole-file reads
// and writes for the tests' fixtures.
#include "tests/support/scratch_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

ScratchDir::ScratchDir() {
    char name[] = "/tmp/osk-test-XXXXXX";
    if (::mkdtemp(name) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = name;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string read_file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file_bytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string make_directory_of_length(const std::string &base, std::size_t length) {
    std::string dir = base;
    while (dir.size() < length) {
        // A '/' and a name of up to 100 characters, never leaving a single
        // character over, which could not take a name of its own after a '/'.
        const std::size_t left = length - dir.size();
        const std::size_t name = left <= 101 ? left - 1 : left == 102 ? 99 : 100;
        dir += "/" + std::string(name, 'd');
        std::filesystem::create_directory(dir);
    }
    return dir;
}
