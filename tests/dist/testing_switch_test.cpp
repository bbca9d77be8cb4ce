// The build for installing: configured with testing off and GoogleTest
// made unfindable, the source tree configures, and its build holds the
// agent and its client but no test program, benchmark or fuzz target, so
// that nothing of the test framework is needed to build and install.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/support/command_output.h"
#include "tests/support/debug_lines.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// The targets the build tree's "help" target lists: lines "... name".
std::set<std::string> listed_targets(const std::string &out) {
    std::set<std::string> targets;
    for (const std::string &line : osktest::debug_lines(out))
        if (line.rfind("... ", 0) == 0)
            targets.insert(line.substr(4, line.find(' ', 4) - 4));
    return targets;
}

// The names that the tests, the benchmarks and the fuzz targets build:
// one program for each source of theirs.
std::set<std::string> test_program_names() {
    std::set<std::string> names;
    for (const char *dir : {"tests", "bench", "fuzz"})
        for (const auto &entry : fs::recursive_directory_iterator(std::string(OSK_SOURCE_DIR) +
                                                                  "/" + dir))
            if (entry.path().extension() == ".cpp")
                names.insert(entry.path().stem().string());
    return names;
}

TEST(TestingSwitch, BuildWithTestingOffNeedsNoGoogleTestAndHasNoTestTargets) {
    ScratchDir scratch;
    const std::string build = scratch.file("build");
    // CMAKE_DISABLE_FIND_PACKAGE_GTest makes every find_package(GTest)
    // fail, a required one with an error, as on a machine without it.
    const osktest::CommandOutput configured = osktest::run_command(
        "'" OSK_CMAKE_COMMAND "' -S '" OSK_SOURCE_DIR "' -B '" + build +
        "' -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON "
        "2>&1");
    ASSERT_EQ(configured.exit_code, 0) << configured.out;

    const osktest::CommandOutput help =
        osktest::run_command("'" OSK_CMAKE_COMMAND "' --build '" + build + "' --target help");
    ASSERT_EQ(help.exit_code, 0) << help.out;
    const std::set<std::string> targets = listed_targets(help.out);
    EXPECT_TRUE(targets.count("oskavelde")) << help.out;
    EXPECT_TRUE(targets.count("oskavelde-client")) << help.out;
    for (const std::string &name : test_program_names())
        EXPECT_FALSE(targets.count(name)) << name << " is built with testing off";
    EXPECT_FALSE(targets.count("osk_test_support")) << help.out;
}

} // namespace
