// The install rules and the Debian package, run on the built tree: an
// install into a staging directory puts every file in its place with its
// mode, the unit naming the installed agent; the installed agent runs;
// systemd-analyze accepts the installed unit and rates its sandbox; the
// package holds the same files as an install with its prefix, depending on
// the Net-SNMP library that the agent links; installed into a root of its
// own it makes the agent's user and data directory, keeps the operator's
// enabling over an upgrade and removes it on a purge; its maintainer
// scripts ask systemd, where it runs, to reread its units, to stop the
// service before removal and to restart a running one after an upgrade;
// and lintian finds no error and no warning in it or in its debug-symbol
// package.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

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
            {prefix + "/lib/sysusers.d/oskavelde.conf", 0644},
            {prefix + "/lib/tmpfiles.d/oskavelde.conf", 0644},
            {prefix + "/share/doc/oskavelde/kervon.ini", 0644},
            {prefix + "/share/doc/oskavelde/CONFIGURATION.md.gz", 0644},
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
    // Each installed file and its source; a ".gz" one compressed.
    const std::pair<const char *, const char *> copies[] = {
        {"share/doc/oskavelde/kervon.ini", "dist/kervon.ini"},
        {"etc/logrotate.d/oskavelde", "dist/oskavelde.logrotate"},
        {"share/doc/oskavelde/copyright", "dist/debian/copyright"},
        {"share/doc/oskavelde/CONFIGURATION.md.gz", "CONFIGURATION.md"},
        {"lib/sysusers.d/oskavelde.conf", "dist/oskavelde.sysusers"},
        {"lib/tmpfiles.d/oskavelde.conf", "dist/oskavelde.tmpfiles"},
        {"share/man/man8/oskavelde.8.gz", "dist/man/oskavelde.8"},
        {"share/man/man1/oskavelde-client.1.gz", "dist/man/oskavelde-client.1"},
    };
    for (const auto &[installed, source] : copies) {
        const std::string path = root + "/" + installed;
        const bool compressed = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
        EXPECT_EQ(compressed ? gunzip(path) : read_file_bytes(path), source_file(source)) << installed;
    }
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

// systemd-analyze accepts the installed unit, and rates its sandbox: the
// exposure that systemd-analyze security gives, from 0 (fully sandboxed)
// to 10 (not at all), is at most 2.0. The unit runs the agent as an
// unprivileged user without capabilities; its settings say why each of the
// rest is needed.
TEST_F(Install, SystemdAcceptsTheInstalledUnitAndRatesItsExposureAtMostTwo) {
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
    osktest::CommandOutput r = osktest::run_command("systemd-analyze verify '" + unit + "' 2>&1");
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out, "");

    r = osktest::run_command("systemd-analyze security --offline=yes --no-pager '" + unit + "' 2>&1");
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::string overall = "Overall exposure level for oskavelde.service: ";
    const std::size_t at = r.out.find(overall);
    ASSERT_NE(at, std::string::npos) << r.out;
    const double exposure = std::strtod(r.out.c_str() + at + overall.size(), nullptr);
    EXPECT_GT(exposure, 0.0) << r.out;
    EXPECT_LE(exposure, 2.0) << r.out;
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
    // The example configuration sends its reader to the reference the
    // package ships.
    const std::string reference = "/usr/share/doc/oskavelde/CONFIGURATION.md.gz";
    EXPECT_TRUE(listed.count(reference.substr(1)));
    EXPECT_NE(osktest::run_command("dpkg-deb --fsys-tarfile '" + deb +
                                   "' | tar -xO ./usr/share/doc/oskavelde/kervon.ini")
                  .out.find(reference),
              std::string::npos);

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

// The package as dpkg installs, upgrades and purges it, in a root of the
// test's own: dpkg --root, with the maintainer scripts run outside a chroot
// and DPKG_ROOT naming the root, so that the real systemd-sysusers,
// systemd-tmpfiles and deb-systemd-helper act on that root and on nothing
// of this machine. The operator enables the unit there with systemctl
// --root, as systemctl enable does on a running system. The purge is made
// once with deb-systemd-helper and once with it hidden, as on a system
// without init-system-helpers.
TEST_F(Install, PackageMakesItsUserAndDirectoryAndItsPurgeRemovesTheEnableLink) {
    for (const char *tool : {"systemd-sysusers", "systemd-tmpfiles", "systemctl", "deb-systemd-helper"})
        ASSERT_EQ(osktest::run_command(std::string("command -v ") + tool).exit_code, 0)
            << tool << " is not installed (scripts/bootstrap installs it)";
    const std::string deb = build_package();
    ASSERT_FALSE(deb.empty());
    // The same package as version 2.2, for an upgrade.
    const std::string tree = scratch_.file("tree");
    const std::string upgrade = scratch_.file("oskavelde_2.2.deb");
    ASSERT_EQ(osktest::run_command("dpkg-deb -R '" + deb + "' '" + tree + "' && sed -i "
                                   "'s/^Version: 2.1$/Version: 2.2/' '" + tree +
                                   "/DEBIAN/control' && dpkg-deb --root-owner-group -b '" + tree +
                                   "' '" + upgrade + "' >/dev/null")
                  .exit_code,
              0);
    const std::string hidden = scratch_.file("hidden");
    write_file_bytes(hidden, "");

    for (const bool helper : {true, false}) {
        SCOPED_TRACE(helper ? "purge with deb-systemd-helper" : "purge without deb-systemd-helper");
        const std::string root = scratch_.file(helper ? "root-helper" : "root-bare");
        fs::create_directories(root + "/var/lib/dpkg/info");
        fs::create_directories(root + "/var/lib/dpkg/updates");
        fs::create_directories(root + "/etc");
        write_file_bytes(root + "/var/lib/dpkg/status", "");
        write_file_bytes(root + "/var/lib/dpkg/available", "");
        const std::string dpkg = "dpkg --root='" + root + "' --log='" + root +
                                 "/dpkg.log' --force-script-chrootless --force-depends ";
        const std::string wants = root + "/etc/systemd/system/multi-user.target.wants/oskavelde.service";

        osktest::CommandOutput r = osktest::run_command(dpkg + "-i '" + deb + "' 2>&1");
        ASSERT_EQ(r.exit_code, 0) << r.out;
        // The user, without a login, its home the data directory.
        const std::string user =
            osktest::run_command("grep '^oskavelde:' '" + root + "/etc/passwd'").out;
        ASSERT_FALSE(user.empty()) << read_file_bytes(root + "/etc/passwd");
        EXPECT_NE(user.find(":/var/lib/oskavelde/Kervon:/usr/sbin/nologin\n"), std::string::npos)
            << user;
        const unsigned uid = static_cast<unsigned>(std::stoul(user.substr(user.find(":x:") + 3)));
        EXPECT_GT(uid, 0u);
        EXPECT_EQ(osktest::run_command("grep -c '^oskavelde:' '" + root + "/etc/group'").out, "1\n");
        // Its data directory, closed to other users; its parent root's.
        struct stat st {};
        ASSERT_EQ(::stat((root + "/var/lib/oskavelde/Kervon").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0750u);
        EXPECT_EQ(st.st_uid, uid);
        ASSERT_EQ(::stat((root + "/var/lib/oskavelde").c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u);
        EXPECT_EQ(st.st_mode & 022, 0u);
        // Nothing enabled by the package.
        EXPECT_FALSE(fs::is_symlink(wants));

        r = osktest::run_command("systemctl --root='" + root + "' enable oskavelde.service 2>&1");
        ASSERT_EQ(r.exit_code, 0) << r.out;
        ASSERT_TRUE(fs::is_symlink(wants)) << r.out;
        write_file_bytes(root + "/var/lib/oskavelde/Kervon/kervon.ini", "[System]\n");

        // The upgrade keeps the operator's choice, the user and the data.
        r = osktest::run_command(dpkg + "-i '" + upgrade + "' 2>&1");
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_TRUE(fs::is_symlink(wants));
        EXPECT_EQ(osktest::run_command("grep '^oskavelde:' '" + root + "/etc/passwd'").out, user);

        const std::string purge = dpkg + "--purge oskavelde";
        r = osktest::run_command(
            helper ? purge + " 2>&1"
                   : "unshare -m sh -c \"for t in \\$(which -a deb-systemd-helper); do mount --bind '" +
                         hidden + "' \\$t || exit 1; done && " + purge + "\" 2>&1");
        ASSERT_EQ(r.exit_code, 0) << r.out;
        EXPECT_FALSE(fs::is_symlink(wants)) << "the enable link outlived the purge";
        EXPECT_FALSE(fs::exists(root + "/var/lib/systemd/deb-systemd-helper-enabled/"
                                       "oskavelde.service.dsh-also"));
        EXPECT_FALSE(fs::exists(root + "/usr/lib/systemd/system/oskavelde.service"));
        // The operator's configuration and the user stay.
        EXPECT_EQ(read_file_bytes(root + "/var/lib/oskavelde/Kervon/kervon.ini"), "[System]\n");
        EXPECT_EQ(osktest::run_command("grep '^oskavelde:' '" + root + "/etc/passwd'").out, user);
    }
}

// The package's maintainer scripts as dpkg runs them, each in a mount
// namespace of its own whose /run shows systemd running or not. systemd
// cannot run here as the init, and the scripts must not change this
// machine's users, directories or units, so every tool they ask something
// of is a stand-in early on the PATH that records what it is asked; a tool
// a case takes away is hidden in that namespace.
TEST_F(Install, MaintainerScriptsAskForTheUserTheDirectoryAndTheServicesStates) {
    const std::string deb = build_package();
    ASSERT_FALSE(deb.empty());
    const std::string control = scratch_.file("control");
    ASSERT_EQ(osktest::run_command("dpkg-deb -e '" + deb + "' '" + control + "'").exit_code, 0);
    const std::string bin = scratch_.file("bin");
    const std::string calls = scratch_.file("calls");
    const std::string hidden = scratch_.file("hidden");
    write_file_bytes(hidden, "");
    fs::create_directory(bin);
    const char *const tools[] = {"systemctl",        "deb-systemd-invoke", "deb-systemd-helper",
                                 "systemd-sysusers", "systemd-tmpfiles",   "adduser"};
    for (const char *tool : tools) {
        write_file_bytes(bin + "/" + tool, std::string("#!/bin/sh\necho \"") + tool +
                                               " $*\" >>'" + calls + "'\n");
        fs::permissions(bin + "/" + tool, fs::perms::owner_all);
    }

    const std::string reload = "systemctl --system daemon-reload\n";
    const std::string made = "systemd-sysusers oskavelde.conf\n"
                             "systemd-tmpfiles --create oskavelde.conf\n"
                             "deb-systemd-helper update-state oskavelde.service\n";
    const std::string restart = "deb-systemd-invoke try-restart oskavelde.service\n";
    const struct {
        const char *script;
        const char *arguments;
        bool systemd_runs;
        std::string asked;
        const char *root = "";    // DPKG_ROOT
        const char *missing = ""; // a tool taken away
    } cases[] = {
        // First install: the user and its directory; nothing started.
        {"postinst", "configure", true, made + reload},
        {"postinst", "configure", false, made},
        // Upgrade: a running service restarts on the new binary.
        {"postinst", "configure 2.0", true, made + reload + restart},
        {"postinst", "configure 2.0", false, made},
        {"postinst", "abort-upgrade 2.1", true,
         "deb-systemd-helper update-state oskavelde.service\n" + reload + restart},
        {"postinst", "abort-remove", true,
         "deb-systemd-helper update-state oskavelde.service\n" + reload},
        // Into another root: made there, the running system left alone.
        {"postinst", "configure 2.0", true,
         "systemd-sysusers --root=/srv/image oskavelde.conf\n"
         "systemd-tmpfiles --root=/srv/image --create oskavelde.conf\n"
         "deb-systemd-helper update-state oskavelde.service\n",
         "/srv/image"},
        // Without systemd-sysusers, adduser makes the user.
        {"postinst", "configure", false,
         "adduser --system --group --quiet --no-create-home --home /var/lib/oskavelde/Kervon "
         "oskavelde\n"
         "systemd-tmpfiles --create oskavelde.conf\n"
         "deb-systemd-helper update-state oskavelde.service\n",
         "", "systemd-sysusers"},
        {"prerm", "remove", true, "deb-systemd-invoke stop oskavelde.service\n"},
        {"prerm", "remove", false, ""},
        {"prerm", "remove", true, "", "/srv/image"},
        {"prerm", "upgrade 2.1", true, ""},
        {"postrm", "remove", true, reload},
        {"postrm", "remove", false, ""},
        {"postrm", "upgrade 2.1", true, ""},
        // A purge removes the links that enabling made.
        {"postrm", "purge", true, "deb-systemd-helper purge oskavelde.service\n" + reload},
        {"postrm", "purge", false, "deb-systemd-helper purge oskavelde.service\n"},
        {"postrm", "purge", true, "deb-systemd-helper purge oskavelde.service\n", "/srv/image"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + c.arguments +
                     (c.systemd_runs ? ", systemd running" : ", no systemd") +
                     (*c.root ? std::string(", DPKG_ROOT=") + c.root : "") +
                     (*c.missing ? std::string(", no ") + c.missing : ""));
        fs::remove(calls);
        std::string run = "mount -t tmpfs none /run && ";
        if (c.systemd_runs)
            run += "mkdir -p /run/systemd/system && ";
        if (*c.missing)
            run += std::string("for t in \\$(which -a ") + c.missing + ") '" + bin + "/" +
                   c.missing + "'; do mount --bind '" + hidden + "' \\$t || exit 1; done && ";
        run += "DPKG_ROOT='" + std::string(c.root) + "' PATH='" + bin + "':\"$PATH\" '" +
               control + "/" + c.script + "' " + c.arguments;
        const osktest::CommandOutput r =
            osktest::run_command("unshare -m sh -c \"" + run + "\" 2>&1");
        EXPECT_EQ(r.exit_code, 0) << r.out;
        EXPECT_EQ(read_file_bytes(calls), c.asked);
    }
}

} // namespace
