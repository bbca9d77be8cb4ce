// The install rules and the Debian package, run on the built tree: an
// install into a staging directory puts every file in its place with its
// mode, the unit naming the installed agent; the installed agent runs;
// systemd-analyze accepts the installed unit; the package holds the same
// files as an install with its prefix, depending on the Net-SNMP library
// that the agent links; its maintainer scripts ask systemd, where it runs,
// to reread its units and to stop the service before removal; and lintian
// finds no error and no warning in it or in its debug-symbol package.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/command_output.h"
#include "tests/support/debug_lines.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

// Path below the install root, and mode.
using FileModes = std::map<std::string, unsigned>;

// What an install with the prefix puts where: the system configuration
// directory is /etc for the prefix /usr and etc/ below any other.
FileModes expected_files(const std::string &prefix) {
    const std::string etc = prefix == "usr" ? "etc" : prefix + "/etc";
    return {{prefix + "/bin/oskavelde", 0755},
            {prefix + "/bin/oskavelde-client", 0755},
            {prefix + "/lib/systemd/system/oskavelde.service", 0644},
            {prefix + "/share/doc/oskavelde/kervon.ini", 0644},
            {prefix + "/share/doc/oskavelde/changelog.gz", 0644},
            {prefix + "/share/doc/oskavelde/copyright", 0644},
            {prefix + "/share/man/man8/oskavelde.8.gz", 0644},
            {prefix + "/share/man/man1/oskavelde-client.1.gz", 0644},
            {etc + "/logrotate.d/oskavelde", 0644}};
}

// Every file below the root, with its permission bits; a symbolic link
// or anything else that is no plain file is listed with mode 0.
FileModes installed_files(const std::string &root) {
    FileModes files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() && !entry.is_symlink())
            continue;
        struct stat st {};
        const bool plain = ::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode);
        files[fs::relative(entry.path(), root).string()] = plain ? (st.st_mode & 07777) : 0;
    }
    return files;
}

std::string source_file(const std::string &name) {
    return read_file_bytes(std::string(OSK_SOURCE_DIR) + "/" + name);
}

// The shipped unit with its ExecStart directory filled in.
std::string unit_for(const std::string &bindir) {
    std::string unit = source_file("dist/oskavelde.service");
    const std::string placeholder = "@CMAKE_INSTALL_FULL_BINDIR@";
    const std::size_t at = unit.find(placeholder);
    if (at != std::string::npos)
        unit.replace(at, placeholder.size(), bindir);
    return unit;
}

// The content of a gzip file.
std::string gunzip(const std::string &path) {
    return osktest::run_command("gzip -dc '" + path + "'").out;
}

class Install : public ::testing::Test {
  protected:
    // cmake --install of the test's build tree with the prefix, under
    // DESTDIR when one is given; its output on failure.
    static osktest::CommandOutput install(const std::string &prefix,
                                          const std::string &destdir = {}) {
        const std::string env = destdir.empty() ? "" : "DESTDIR='" + destdir + "' ";
        return osktest::run_command(
            env + "'" OSK_CMAKE_COMMAND "' --install '" OSK_BINARY_DIR "' --prefix '" + prefix +
            "' 2>&1");
    }

    // cpack -G DEB of the test's build tree into the scratch directory;
    // the path of the package, or empty with the reason in the failure.
    std::string build_package() {
        const std::string packages = scratch_.file("package");
        const osktest::CommandOutput packed = osktest::run_command(
            "'" OSK_CPACK_COMMAND "' -G DEB --config '" OSK_BINARY_DIR "/CPackConfig.cmake' -B '" +
            packages + "' 2>&1");
        EXPECT_EQ(packed.exit_code, 0) << packed.out;
        const std::string deb = packages + "/oskavelde_2.1_" + architecture() + ".deb";
        if (packed.exit_code != 0 || !fs::exists(deb)) {
            ADD_FAILURE() << "no " << deb << ": " << packed.out;
            return {};
        }
        return deb;
    }

    static std::string architecture() {
        return osktest::run_command("dpkg --print-architecture | tr -d '\\n'").out;
    }

    ScratchDir scratch_;
};

TEST_F(Install, StagingInstallPutsEveryFileInItsPlaceWithItsMode) {
    const std::string stage = scratch_.file("stage");
    const osktest::CommandOutput r = install("/usr/local", stage);
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(installed_files(stage), expected_files("usr/local"));

    // The installed files are the project's, the unit naming the agent
    // where this install put it.
    const std::string root = stage + "/usr/local";
    EXPECT_EQ(read_file_bytes(root + "/bin/oskavelde"),
              read_file_bytes(OSK_BINARY_DIR "/oskavelde"));
    EXPECT_EQ(read_file_bytes(root + "/bin/oskavelde-client"),
              read_file_bytes(OSK_BINARY_DIR "/oskavelde-client"));
    EXPECT_EQ(read_file_bytes(root + "/share/doc/oskavelde/kervon.ini"),
              source_file("dist/kervon.ini"));
    EXPECT_EQ(read_file_bytes(root + "/etc/logrotate.d/oskavelde"),
              source_file("dist/oskavelde.logrotate"));
    EXPECT_EQ(read_file_bytes(root + "/share/doc/oskavelde/copyright"),
              source_file("dist/debian/copyright"));
    EXPECT_EQ(gunzip(root + "/share/man/man8/oskavelde.8.gz"), source_file("dist/man/oskavelde.8"));
    EXPECT_EQ(gunzip(root + "/share/man/man1/oskavelde-client.1.gz"),
              source_file("dist/man/oskavelde-client.1"));
    // The changelog's entry is of the packaged version, signed by the
    // configured maintainer.
    const std::string changelog = gunzip(root + "/share/doc/oskavelde/changelog.gz");
    EXPECT_EQ(changelog.rfind("oskavelde (2.1) ", 0), 0u) << changelog;
    const std::string maintainer =
        osktest::run_command("sed -n 's/^OSK_PACKAGE_MAINTAINER:STRING=//p' '" OSK_BINARY_DIR
                             "/CMakeCache.txt' | tr -d '\\n'")
            .out;
    ASSERT_FALSE(maintainer.empty());
    EXPECT_NE(changelog.find("\n -- " + maintainer + "  "), std::string::npos) << changelog;
    const std::string unit = read_file_bytes(root + "/lib/systemd/system/oskavelde.service");
    EXPECT_EQ(unit, unit_for("/usr/local/bin"));
    EXPECT_NE(unit.find("\nExecStart=/usr/local/bin/oskavelde -log\n"), std::string::npos) << unit;
}

TEST_F(Install, InstalledAgentRunsQuitWithExitCodeZero) {
    const std::string stage = scratch_.file("stage");
    ASSERT_EQ(install("/usr/local", stage).exit_code, 0);
    // A state directory of its own, so that nothing of the machine's
    // service manager is touched.
    const osktest::CommandOutput r =
        osktest::run_command("OSKAVELDE_SCM_DIR='" + scratch_.file("scm") + "' '" + stage +
                             "/usr/local/bin/oskavelde' -quit 2>&1");
    EXPECT_EQ(r.exit_code, 0) << r.out;
}

TEST_F(Install, SystemdAcceptsTheInstalledUnit) {
    if (osktest::run_command("command -v systemd-analyze").exit_code != 0)
        GTEST_SKIP() << "systemd-analyze is not installed (Debian package systemd): the unit is "
                        "not verified";
    // Installed without DESTDIR, so that the unit's ExecStart names the
    // agent where it really lies.
    const std::string prefix = scratch_.file("usr");
    ASSERT_EQ(install(prefix).exit_code, 0);
    const std::string unit = prefix + "/lib/systemd/system/oskavelde.service";
    ASSERT_NE(read_file_bytes(unit).find("\nExecStart=" + prefix + "/bin/oskavelde -log\n"),
              std::string::npos);
    const osktest::CommandOutput r =
        osktest::run_command("systemd-analyze verify '" + unit + "' 2>&1");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

TEST_F(Install, DebianPackageHoldsTheFilesOfAnInstallUnderUsr) {
    const std::string deb = build_package();
    ASSERT_FALSE(deb.empty());

    // dpkg-deb's list: one line per entry, the mode first and the path,
    // "./etc/...", last.
    FileModes listed;
    const osktest::CommandOutput contents = osktest::run_command("dpkg-deb -c '" + deb + "'");
    ASSERT_EQ(contents.exit_code, 0);
    std::size_t at = 0;
    while (at < contents.out.size()) {
        std::size_t end = contents.out.find('\n', at);
        if (end == std::string::npos)
            end = contents.out.size();
        const std::string line = contents.out.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line[0] == 'd')
            continue;
        unsigned mode = 0;
        for (int i = 1; i <= 9; ++i)
            mode = mode << 1 | (line[static_cast<std::size_t>(i)] != '-' ? 1u : 0u);
        listed[line.substr(line.rfind(" ./") + 3)] = line[0] == '-' ? mode : 0;
    }
    EXPECT_EQ(listed, expected_files("usr")) << contents.out;
    const std::string stage = scratch_.file("stage");
    ASSERT_EQ(install("/usr", stage).exit_code, 0);
    EXPECT_EQ(listed, installed_files(stage));

    // The packaged unit runs /usr/bin/oskavelde; the logrotate rules are a
    // conffile, kept when edited.
    const std::string packaged_unit =
        osktest::run_command("dpkg-deb --fsys-tarfile '" + deb +
                             "' | tar -xO ./usr/lib/systemd/system/oskavelde.service")
            .out;
    EXPECT_EQ(packaged_unit, unit_for("/usr/bin"));
    EXPECT_NE(packaged_unit.find("\nExecStart=/usr/bin/oskavelde -log\n"), std::string::npos)
        << packaged_unit;
    EXPECT_EQ(osktest::run_command("dpkg-deb -I '" + deb + "' conffiles").out,
              "/etc/logrotate.d/oskavelde\n");

    // It depends on the package that holds the Net-SNMP library the agent
    // links, as dpkg knows it.
    const osktest::CommandOutput owner =
        osktest::run_command("dpkg -S \"$(readlink -f \"$(ldd '" OSK_BINARY_DIR
                             "/oskavelde' | awk '/libnetsnmp\\./ {print $3}')\")\" "
                             "| cut -d: -f1");
    ASSERT_EQ(owner.exit_code, 0);
    ASSERT_FALSE(owner.out.empty());
    const std::string library_package = owner.out.substr(0, owner.out.find('\n'));
    const std::string depends = osktest::run_command("dpkg-deb -f '" + deb + "' Depends").out;
    EXPECT_NE((", " + depends).find(", " + library_package + " "), std::string::npos)
        << library_package << " not in: " << depends;
}

// lintian, as Debian's archive runs it, on the package and on the package
// of its debug symbols: no error and no warning (a line "E: ..." or
// "W: ..."); notes ("I: ...") are allowed.
TEST_F(Install, DebianPackagesPassLintian) {
    ASSERT_EQ(osktest::run_command("command -v lintian").exit_code, 0)
        << "lintian is not installed (scripts/bootstrap installs it)";
    const std::string deb = build_package();
    ASSERT_FALSE(deb.empty());
    const std::string ddeb =
        scratch_.file("package/oskavelde-dbgsym_2.1_" + architecture() + ".ddeb");
    ASSERT_TRUE(fs::exists(ddeb)) << "no debug-symbol package " << ddeb;

    const osktest::CommandOutput r =
        osktest::run_command("lintian '" + deb + "' '" + ddeb + "' 2>&1");
    std::string complaints;
    for (const std::string &line : osktest::debug_lines(r.out))
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0)
            complaints += line + "\n";
    EXPECT_EQ(complaints, "") << r.out;
    EXPECT_EQ(r.exit_code, 0) << r.out;
}

// The package's maintainer scripts as dpkg runs them, each in a mount
// namespace of its own whose /run shows systemd running or not. systemd
// cannot run here as the init, so systemctl and deb-systemd-invoke are
// stand-ins early on the PATH that record what the script asks of them.
TEST_F(Install, MaintainerScriptsReloadSystemdAndStopTheServiceBeforeRemoval) {
    const std::string deb = build_package();
    ASSERT_FALSE(deb.empty());
    const std::string control = scratch_.file("control");
    ASSERT_EQ(osktest::run_command("dpkg-deb -e '" + deb + "' '" + control + "'").exit_code, 0);
    const std::string bin = scratch_.file("bin");
    const std::string calls = scratch_.file("calls");
    fs::create_directory(bin);
    for (const char *tool : {"systemctl", "deb-systemd-invoke"}) {
        write_file_bytes(bin + "/" + tool, std::string("#!/bin/sh\necho \"") + tool +
                                               " $*\" >>'" + calls + "'\n");
        fs::permissions(bin + "/" + tool, fs::perms::owner_all);
    }

    const std::string reload = "systemctl --system daemon-reload\n";
    const struct {
        const char *script;
        const char *argument;
        bool systemd_runs;
        std::string asked;
    } cases[] = {
        {"postinst", "configure", true, reload},
        {"postinst", "configure", false, ""},
        {"postinst", "abort-remove", true, reload},
        {"prerm", "remove", true, "deb-systemd-invoke stop oskavelde.service\n"},
        {"prerm", "remove", false, ""},
        {"prerm", "upgrade", true, ""},
        {"postrm", "remove", true, reload},
        {"postrm", "purge", true, reload},
        {"postrm", "remove", false, ""},
        {"postrm", "upgrade", true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.argument +
                     (c.systemd_runs ? ", systemd running" : ", no systemd"));
        fs::remove(calls);
        const std::string run = std::string("mount -t tmpfs none /run && ") +
                                (c.systemd_runs ? "mkdir -p /run/systemd/system && " : "") +
                                "PATH='" + bin + "':\"$PATH\" '" + control + "/" + c.script +
                                "' " + c.argument;
        const osktest::CommandOutput r =
            osktest::run_command("unshare -m sh -c \"" + run + "\" 2>&1");
        EXPECT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(read_file_bytes(calls), c.asked);
    }
}

} // namespace
