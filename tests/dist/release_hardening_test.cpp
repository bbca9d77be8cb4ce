// The release build as the README makes it (Release, testing off) and its
// package: both binaries carry Debian's hardening (fortified functions,
// the stack protector, full RELRO with immediate binding, a
// position-independent executable), and lintian, asked for its notes too,
// finds no hardening missing in the package.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/command_output.h"
#include "tests/support/debug_lines.h"
#include "tests/support/scratch_dir.h"

namespace {

// Whether a line of the command's output holds the text.
bool has_line_with(const std::string &out, const std::string &text) {
    for (const std::string &line : osktest::debug_lines(out))
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}

TEST(ReleaseBuild, BinariesAndPackageCarryDebiansHardening) {
#ifdef OSK_SANITIZED_BUILD
    GTEST_SKIP() << "the release build is a plain one of its own; under " OSK_SANITIZED_BUILD
                    " it would only repeat the plain build's run";
#endif
    ScratchDir scratch;
    const std::string build = scratch.file("build-release");
    const osktest::CommandOutput configured = osktest::run_command(
        "'" OSK_CMAKE_COMMAND "' -S '" OSK_SOURCE_DIR "' -B '" + build +
        "' -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_INSTALL_SYSCONFDIR=/etc 2>&1");
    ASSERT_EQ(configured.exit_code, 0) << configured.out;
    const osktest::CommandOutput built =
        osktest::run_command("'" OSK_CMAKE_COMMAND "' --build '" + build + "' -j4 2>&1");
    ASSERT_EQ(built.exit_code, 0) << built.out;

    for (const char *name : {"oskavelde", "oskavelde-client"}) {
        SCOPED_TRACE(name);
        const std::string binary = "'" + build + "/" + name + "'";
        const std::string dynamic = osktest::run_command("readelf -dW " + binary).out;
        EXPECT_TRUE(has_line_with(dynamic, "(FLAGS)              BIND_NOW")) << dynamic;
        EXPECT_TRUE(has_line_with(dynamic, "Flags: NOW PIE")) << dynamic;
        const std::string segments = osktest::run_command("readelf -lW " + binary).out;
        EXPECT_TRUE(has_line_with(segments, "GNU_RELRO")) << segments;
        EXPECT_TRUE(has_line_with(osktest::run_command("readelf -hW " + binary).out,
                                  "DYN (Position-Independent Executable file)"));
        const std::string symbols = osktest::run_command("nm -D " + binary).out;
        EXPECT_TRUE(has_line_with(symbols, " U __stack_chk_fail@")) << symbols;
        EXPECT_TRUE(has_line_with(symbols, "_chk@")) << "no fortified function\n" << symbols;
    }

    const std::string packages = scratch.file("package");
    const osktest::CommandOutput packed = osktest::run_command(
        "cd '" + build + "' && '" OSK_CPACK_COMMAND "' -G DEB -B '" + packages + "' 2>&1");
    ASSERT_EQ(packed.exit_code, 0) << packed.out;
    const osktest::CommandOutput lintian =
        osktest::run_command("lintian --display-info '" + packages + "'/oskavelde_*.deb 2>&1");
    EXPECT_EQ(lintian.exit_code, 0) << lintian.out;
    EXPECT_FALSE(has_line_with(lintian.out, "hardening-")) << lintian.out;
    EXPECT_FALSE(has_line_with(lintian.out, "E: ")) << lintian.out;
    EXPECT_FALSE(has_line_with(lintian.out, "W: ")) << lintian.out;
}

} // namespace
