// Temporary data directories, INI files and a clean configuration record
// for the configuration store's tests.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/ini_parser.h"
#include "config/ini_store.h"
#include "platform/version.h"
#include "shared/directories.h"
#include "shared/ini_record.h"

namespace config_test {

// A fresh directory of its own, removed with its contents at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "osk-config-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // The directory as a data-directory text: with its trailing separator.
    std::string dir() const { return path_.string() + "/"; }

    // Writes the bytes as they are and returns the file's path.
    std::string Write(const std::string &name, const std::string &bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

  private:
    std::filesystem::path path_;
};

inline void SetDirText(char (&target)[256], const std::string &text) {
    std::snprintf(target, sizeof target, "%s", text.c_str());
}

// A text field read as its readers read it: up to its NUL or its width.
template <std::size_t N> std::string Text(const char (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0'));
}

inline bool BytesAreZero(const void *data, std::size_t size) {
    const auto *p = static_cast<const unsigned char *>(data);
    return std::all_of(p, p + size, [](unsigned char b) { return b == 0; });
}

inline bool RecordIsZero() { return BytesAreZero(&INI, sizeof INI); }

// The record's bytes, padding included.
inline std::vector<unsigned char> Snapshot() {
    const auto *p = reinterpret_cast<const unsigned char *>(&INI);
    return std::vector<unsigned char>(p, p + sizeof INI);
}

// Every test starts from a zero record, the default version and empty
// directory texts, and leaves the version seam as it found it.
class IniTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::memset(&INI, 0, sizeof INI);
        ProgramDir[0] = 0;
        AllUserDir[0] = 0;
        g_index = 0;
        platform::reset_reported_version();
    }
    void TearDown() override { platform::reset_reported_version(); }

    // Parses the bytes as a file of the given number.
    int Parse(std::uint8_t file, const std::string &bytes) {
        return EncodeINIFile(file, tmp_.Write("parse.ini", bytes).c_str());
    }

    TempDir tmp_;
};

} // namespace config_test
