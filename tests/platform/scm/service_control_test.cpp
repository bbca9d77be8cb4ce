// The service control manager on its own: service records (creation,
// opening by any case, deletion with the registry key, damaged records),
// the start of a recorded program and its failures, controls handed to a
// running service's handler one at a time on its dispatcher thread, a
// handler that takes long or dies, a service process that dies without a
// report, a running service whose files are lost or damaged (one or
// several at once), names in a service's run-name space that another user
// holds, a signal that reaches only the marked process, the dispatcher
// outside the manager, and the message texts.
#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/format_message.h"
#include "platform/module.h"
#include "platform/scm/registry.h"
#include "platform/scm/scm_channel.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "platform/scm/service_control.h"
#include "platform/scm/service_dispatcher.h"
#include "tests/support/agent_process.h"
#include "tests/support/foreign_name_holder.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kStub = std::string(OSK_BINARY_DIR) + "/tests/scm_test_service";

class Manager : public ::testing::Test {
  protected:
    void SetUp() override {
        // Started services become this process's children once their
        // starter has gone, so that their exit codes can be read.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        ::setenv("OSKAVELDE_SCM_DIR", state_.path().c_str(), 1);
        manager_ = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override {
        for (platform::SC_HANDLE service : services_) {
            const int pid = pid_of(service);
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
            platform::CloseServiceHandle(service);
        }
        // A process that the manager lost sight of; one still unreaped is
        // this process's child, so its identifier is still its own.
        for (const int pid : watched_)
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        platform::CloseServiceHandle(manager_);
        ::unsetenv("OSKAVELDE_SCM_DIR");
    }

    platform::SC_HANDLE create(const char *name, const std::string &path, platform::DWORD start_type = 3) {
        platform::SC_HANDLE service = platform::CreateServiceA(
            manager_, name, "Test service", platform::SERVICE_ALL_ACCESS, platform::SERVICE_WIN32_OWN_PROCESS,
            start_type, platform::SERVICE_ERROR_NORMAL, path.c_str(), "", nullptr, nullptr, nullptr, nullptr);
        if (service != nullptr)
            services_.push_back(service);
        return service;
    }

    // A running stub service named name.
    platform::SC_HANDLE running_stub(const char *name, const std::string &arguments = {}) {
        platform::SC_HANDLE service = create(name, kStub + " " + name + arguments);
        if (service == nullptr || !platform::StartServiceA(service, 0, nullptr))
            return nullptr;
        const bool running =
            osktest::wait_until([&] { return state_of(service) == platform::SERVICE_RUNNING; }, 10s, 10ms);
        return running ? service : nullptr;
    }

    static platform::SERVICE_STATUS_PROCESS status_of(platform::SC_HANDLE service) {
        platform::SERVICE_STATUS_PROCESS s{};
        platform::DWORD needed = 0;
        platform::QueryServiceStatusEx(service, platform::SC_STATUS_PROCESS_INFO,
                                       reinterpret_cast<platform::BYTE *>(&s), sizeof s, &needed);
        return s;
    }
    static platform::DWORD state_of(platform::SC_HANDLE service) { return status_of(service).dwCurrentState; }
    static int pid_of(platform::SC_HANDLE service) { return static_cast<int>(status_of(service).dwProcessId); }

    static int exit_code(int pid) {
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    ScratchDir state_;
    platform::SC_HANDLE manager_ = nullptr;
    std::vector<platform::SC_HANDLE> services_;
    std::vector<int> watched_; // service processes ended at the end whatever the manager tells
};

TEST_F(Manager, RecordsOpensByAnyCaseAndDeletesWithTheRegistryKey) {
    ASSERT_NE(create("TestSvc", "/opt/test svc/run", 2), nullptr);
    EXPECT_EQ(create("testsvc", "/other"), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_EXISTS);

    platform::SC_HANDLE opened = platform::OpenServiceA(manager_, "TESTSVC", platform::SERVICE_ALL_ACCESS);
    ASSERT_NE(opened, nullptr);
    services_.push_back(opened);
    alignas(8) char buffer[1024];
    auto *config = reinterpret_cast<platform::QUERY_SERVICE_CONFIGA *>(buffer);
    platform::DWORD needed = 0;
    EXPECT_FALSE(platform::QueryServiceConfigA(opened, config, sizeof(platform::QUERY_SERVICE_CONFIGA), &needed));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INSUFFICIENT_BUFFER);
    ASSERT_TRUE(platform::QueryServiceConfigA(opened, config, needed, &needed));
    EXPECT_STREQ(config->lpBinaryPathName, "/opt/test svc/run");
    EXPECT_STREQ(config->lpDisplayName, "Test service");
    EXPECT_STREQ(config->lpServiceStartName, "LocalSystem");
    EXPECT_EQ(config->dwStartType, 2u);
    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::QueryServiceStatus(opened, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);

    platform::HKEY key = nullptr;
    ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\TestSvc", 0,
                                      platform::KEY_READ, &key),
              0);
    platform::RegCloseKey(key);
    ASSERT_TRUE(platform::DeleteServiceA(opened));
    EXPECT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\TestSvc", 0,
                                      platform::KEY_READ, &key),
              2);
    EXPECT_EQ(platform::OpenServiceA(manager_, "TestSvc", platform::SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_FALSE(platform::DeleteServiceA(opened));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(Manager, CreationsAtTheSameTimeMakeOneSoundRecord) {
    constexpr int kCreators = 8;
    platform::SC_HANDLE made[kCreators] = {};
    platform::DWORD errors[kCreators] = {};
    std::thread creators[kCreators];
    for (int i = 0; i < kCreators; ++i)
        creators[i] = std::thread([&, i] {
            const std::string path = "/opt/creator" + std::to_string(i);
            made[i] = platform::CreateServiceA(manager_, "Race", "Race", platform::SERVICE_ALL_ACCESS,
                                               platform::SERVICE_WIN32_OWN_PROCESS, 3, 1, path.c_str(), nullptr,
                                               nullptr, nullptr, nullptr, nullptr);
            errors[i] = platform::GetLastError();
        });
    for (auto &t : creators)
        t.join();
    int created = 0;
    for (int i = 0; i < kCreators; ++i) {
        if (made[i] != nullptr) {
            ++created;
            services_.push_back(made[i]);
        } else {
            EXPECT_EQ(errors[i], platform::ERROR_SERVICE_EXISTS);
        }
    }
    EXPECT_EQ(created, 1);
    platform::SC_HANDLE opened = platform::OpenServiceA(manager_, "Race", platform::SERVICE_ALL_ACCESS);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(platform::DeleteServiceA(opened));
    platform::CloseServiceHandle(opened);
}

TEST_F(Manager, RefusesBadNamesAndParameters) {
    for (const char *name : {"", "a/b", "a\\b", "tab\there"}) {
        EXPECT_EQ(create(name, "/bin/true"), nullptr) << name;
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_NAME) << name;
    }
    EXPECT_EQ(create("Svc", ""), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(create("Svc", "/bin/true\nstart_type=2"), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(create("Svc", "/bin/true", 5), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_PARAMETER);
}

class DamagedRecord : public Manager, public ::testing::WithParamInterface<int> {};

TEST_P(DamagedRecord, ReadsAsMissing) {
    ASSERT_NE(create("Svc", "/bin/true"), nullptr);
    const std::string path = state_.path() + "/services/svc.service";
    std::string record = read_file_bytes(path);
    ASSERT_FALSE(record.empty());
    switch (GetParam()) {
    case 0: record.resize(record.size() / 2); break;               // cut short
    case 1: record[record.find("start_type=") + 11] = '2'; break;  // changed
    case 2: record.clear(); break;                                  // empty
    }
    write_file_bytes(path, record);
    EXPECT_EQ(platform::OpenServiceA(manager_, "Svc", platform::SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_NE(create("Svc", "/bin/false"), nullptr); // and a new one takes its place
}

INSTANTIATE_TEST_SUITE_P(Ways, DamagedRecord, ::testing::Values(0, 1, 2));

TEST_F(Manager, AStateDirectoryThatCannotBeWrittenAllowsReadingOnly) {
    ScratchDir other;
    write_file_bytes(other.file("file"), "x");
    ::setenv("OSKAVELDE_SCM_DIR", other.file("file/scm").c_str(), 1);
    EXPECT_EQ(platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ACCESS_DENIED);
    platform::SC_HANDLE reader = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_CONNECT);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(platform::OpenServiceA(reader, "Svc", platform::SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_FALSE(platform::CloseServiceHandle(nullptr));
    EXPECT_TRUE(platform::CloseServiceHandle(reader));
}

struct StartFailure {
    const char *name;
    std::string path;
    platform::DWORD error;
};

class StartFails : public Manager, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFails, WithTheErrorAndLeavesTheServiceStopped) {
    platform::SC_HANDLE service = create("Svc", GetParam().path);
    ASSERT_NE(service, nullptr);
    const auto started = Clock::now();
    EXPECT_FALSE(platform::StartServiceA(service, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), GetParam().error);
    EXPECT_LT(Clock::now() - started, 5s); // a program that ends is not waited for
    const platform::SERVICE_STATUS_PROCESS s = status_of(service);
    EXPECT_EQ(s.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(s.dwProcessId, 0u);
    platform::SERVICE_STATUS status{};
    EXPECT_FALSE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_NOT_ACTIVE);
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, StartFails,
    ::testing::Values(StartFailure{"Missing", "/nonexistent/program", platform::ERROR_FILE_NOT_FOUND},
                      StartFailure{"NotAService", "/bin/true", platform::ERROR_SERVICE_REQUEST_TIMEOUT},
                      StartFailure{"OtherServiceName", kStub + " SomeOtherName", platform::ERROR_SERVICE_NOT_IN_EXE},
                      StartFailure{"UnclosedQuote", "\"/bin/true", platform::ERROR_FILE_NOT_FOUND}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Manager, StartsTheProgramDetachedAndRefusesASecondStart) {
    platform::SC_HANDLE service = running_stub("Stub");
    ASSERT_NE(service, nullptr);
    const int pid = pid_of(service);
    ASSERT_GT(pid, 0);
    EXPECT_NE(::getsid(pid), ::getsid(0)); // a session of its own
    EXPECT_FALSE(platform::StartServiceA(service, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_ALREADY_RUNNING);

    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u); // one at a time, on the dispatcher's thread
    EXPECT_EQ(exit_code(pid), 0);
    EXPECT_FALSE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_NOT_ACTIVE);
}

TEST_F(Manager, AStopReturnsOnceASlowHandlerHasReturned) {
    platform::SC_HANDLE service = running_stub("Slow", " 2500");
    ASSERT_NE(service, nullptr);
    const int pid = pid_of(service);
    const auto started = Clock::now();
    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_GE(Clock::now() - started, 2500ms);
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(exit_code(pid), 0);
}

TEST_F(Manager, ControlsReachTheHandlerOneAtATime) {
    platform::SC_HANDLE service = running_stub("Busy");
    ASSERT_NE(service, nullptr);
    bool results[3] = {};
    const auto started = Clock::now();
    std::thread senders[3];
    for (int i = 0; i < 3; ++i)
        senders[i] = std::thread([&, i] {
            platform::SERVICE_STATUS s{};
            results[i] = platform::ControlService(service, 201, &s);
        });
    for (auto &t : senders)
        t.join();
    EXPECT_GE(Clock::now() - started, 1500ms);
    for (bool ok : results)
        EXPECT_TRUE(ok);
    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
}

TEST_F(Manager, AServiceThatDiesInItsHandlerReadsAsStopped) {
    platform::SC_HANDLE service = running_stub("Dies");
    ASSERT_NE(service, nullptr);
    const int pid = pid_of(service);
    platform::SERVICE_STATUS status{};
    EXPECT_FALSE(platform::ControlService(service, 200, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_PROCESS_ABORTED);
    EXPECT_EQ(exit_code(pid), 3);
    ASSERT_TRUE(platform::QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(status.dwWin32ExitCode, platform::ERROR_PROCESS_ABORTED);
    // It can be started again.
    ASSERT_TRUE(platform::StartServiceA(service, 0, nullptr));
}

TEST_F(Manager, AServiceKilledWithoutAReportReadsAsStopped) {
    platform::SC_HANDLE service = running_stub("Killed");
    ASSERT_NE(service, nullptr);
    const int pid = pid_of(service);
    ::kill(pid, SIGKILL);
    EXPECT_EQ(exit_code(pid), 128 + SIGKILL);
    const platform::SERVICE_STATUS_PROCESS s = status_of(service);
    EXPECT_EQ(s.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(s.dwWin32ExitCode, platform::ERROR_PROCESS_ABORTED);
    EXPECT_EQ(s.dwProcessId, 0u);
    platform::SERVICE_STATUS status{};
    EXPECT_FALSE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_NOT_ACTIVE);
}

TEST_F(Manager, ControlsNeedTheirRightsAndAKnownCode) {
    platform::SC_HANDLE service = running_stub("Rights");
    ASSERT_NE(service, nullptr);
    platform::SC_HANDLE query_only = platform::OpenServiceA(manager_, "Rights", platform::SERVICE_QUERY_STATUS);
    ASSERT_NE(query_only, nullptr);
    platform::SERVICE_STATUS status{};
    EXPECT_FALSE(platform::ControlService(query_only, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(platform::StartServiceA(query_only, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_ACCESS_DENIED);
    platform::CloseServiceHandle(query_only);
    EXPECT_FALSE(platform::ControlService(service, 0, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(platform::ControlService(service, platform::SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_SERVICE_CONTROL);
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_RUNNING);
}

// A child that waits until the pipe whose writing end it hands back
// closes, then ends; -1 when none could be made.
pid_t waiting_child(int &gate) {
    int ends[2];
    if (::pipe(ends) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[1]);
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(ends[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ends[0]);
    gate = ends[1];
    return child;
}

// The mark of a process that has ended: a waiting child, marked while it
// waits, then reaped.
platform::scm::ProcessMark ended_process() {
    platform::scm::ProcessMark mark;
    int gate = -1;
    const pid_t child = waiting_child(gate);
    if (child <= 0)
        return mark;
    platform::scm::process_mark_of(child, mark);
    ::close(gate);
    ::waitpid(child, nullptr, 0);
    return mark;
}

// Files of a running service that are lost or overwritten, one or several
// at once: the manager still finds the service's process, refuses a
// second start and stops it.
enum class Harm {
    lost,
    junk,          // overwritten in place
    ended_process, // a sound status record naming an ended process as running
};

struct FileHarm {
    const char *extension;
    Harm harm;
};

struct FileDamage {
    const char *name;
    std::vector<FileHarm> harms;
    platform::DWORD query_error; // 0: the query reads the service running
    int exit_after_stop;         // 0 from its handler, 128 + SIGTERM when ended without one
};

void PrintTo(const FileDamage &d, std::ostream *os) { *os << d.name; }

class RunningServiceFile : public Manager, public ::testing::WithParamInterface<FileDamage> {};

TEST_P(RunningServiceFile, LostOrDamagedLeavesTheServiceRunningAndStoppable) {
    const FileDamage &d = GetParam();
    platform::SC_HANDLE service = running_stub("Svc");
    ASSERT_NE(service, nullptr);
    const int pid = pid_of(service);
    ASSERT_GT(pid, 0);
    watched_.push_back(pid);
    for (const FileHarm &h : d.harms) {
        const std::string base = platform::scm::service_base("Svc");
        const std::string path = base + h.extension;
        if (h.harm == Harm::lost) {
            ASSERT_TRUE(std::filesystem::remove(path)) << path;
        } else if (h.harm == Harm::junk) {
            write_file_bytes(path, "junk\n");
        } else {
            platform::scm::StatusRecord stale;
            stale.status = platform::SERVICE_STATUS{platform::SERVICE_WIN32_OWN_PROCESS,
                                                    platform::SERVICE_RUNNING,
                                                    platform::SERVICE_ACCEPT_STOP,
                                                    0,
                                                    0,
                                                    0,
                                                    0};
            stale.process = ended_process();
            ASSERT_GT(stale.process.pid, 0);
            ASSERT_EQ(platform::scm::write_status(base, stale), 0u);
        }
    }

    platform::SERVICE_STATUS status{};
    if (d.query_error == 0) {
        ASSERT_TRUE(platform::QueryServiceStatus(service, &status));
        EXPECT_EQ(status.dwCurrentState, platform::SERVICE_RUNNING);
    } else {
        EXPECT_FALSE(platform::QueryServiceStatus(service, &status));
        EXPECT_EQ(platform::GetLastError(), d.query_error);
    }
    EXPECT_FALSE(platform::StartServiceA(service, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_ALREADY_RUNNING);
    EXPECT_EQ(::kill(pid, 0), 0);

    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(exit_code(pid), d.exit_after_stop);
    ASSERT_TRUE(platform::QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    ASSERT_TRUE(platform::StartServiceA(service, 0, nullptr)); // and it starts again
}

INSTANTIATE_TEST_SUITE_P(
    Files, RunningServiceFile,
    ::testing::Values(
        FileDamage{"JunkStatus", {{".status", Harm::junk}}, platform::ERROR_FILE_CORRUPT, 0},
        FileDamage{"LostStatus", {{".status", Harm::lost}}, platform::ERROR_FILE_CORRUPT, 0},
        FileDamage{"LostControlSocket", {{".sock", Harm::lost}}, 0, 128 + SIGTERM},
        FileDamage{"StatusOfAnEndedProcess",
                   {{".status", Harm::ended_process}},
                   platform::ERROR_FILE_CORRUPT,
                   0},
        // Nothing in the state directory names the process any more.
        FileDamage{"LostStatusControlSocketAndLock",
                   {{".status", Harm::lost}, {".sock", Harm::lost}, {".lock", Harm::lost}},
                   platform::ERROR_FILE_CORRUPT,
                   128 + SIGTERM}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Manager, ADamagedRecordOfARunningServiceIsNoMissingService) {
    ASSERT_NE(running_stub("Svc"), nullptr);
    write_file_bytes(platform::scm::service_base("Svc") + ".service", "junk\n");
    EXPECT_EQ(platform::OpenServiceA(manager_, "Svc", platform::SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_CORRUPT);
}

unsigned nobody_uid() {
    const passwd *user = ::getpwnam("nobody");
    return user != nullptr ? static_cast<unsigned>(user->pw_uid) : 0;
}

// A process of user nobody binds names in the service's run-name space
// before the service starts, as any local user can: the name space
// itself, one of the run name's own form that claims a process of root's
// (never to be signalled), and one that claims the holder itself. None
// reads as the service running or keeps it from starting, the manager
// names their holder, and the service's own name counts beside them.
TEST_F(Manager, NamesOfAnotherUserNeitherRunTheServiceNorKeepItFromStarting) {
    platform::SC_HANDLE service = create("Svc", kStub + " Svc");
    ASSERT_NE(service, nullptr);
    int gate = -1;
    const pid_t bystander = waiting_child(gate);
    ASSERT_GT(bystander, 0);
    watched_.push_back(bystander);
    platform::scm::ProcessMark claimed;
    ASSERT_TRUE(platform::scm::process_mark_of(bystander, claimed));
    osktest::ForeignNameHolder stranger;
    ASSERT_TRUE(stranger.start("Svc", {claimed}, true));

    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(pid_of(service), 0);
    EXPECT_FALSE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_NOT_ACTIVE);

    platform::SERVICE_NAME_HOLDER holders[4] = {};
    platform::DWORD found = 0;
    ASSERT_TRUE(platform::QueryServiceNameHolders(service, holders, 2, &found));
    EXPECT_EQ(found, 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(holders[i].dwUserId, nobody_uid());
        EXPECT_EQ(holders[i].dwProcessId, static_cast<platform::DWORD>(stranger.pid()));
    }
    EXPECT_EQ(holders[2].dwUserId, 0u); // beyond the count given, nothing is written

    ASSERT_TRUE(platform::StartServiceA(service, 0, nullptr)) << platform::GetLastError();
    ASSERT_TRUE(osktest::wait_until([&] { return state_of(service) == platform::SERVICE_RUNNING; }, 10s, 10ms));
    const int pid = pid_of(service);
    ASSERT_GT(pid, 0);
    watched_.push_back(pid);
    EXPECT_NE(pid, stranger.pid());
    // With its status record gone, the service is found by its own name.
    ASSERT_TRUE(std::filesystem::remove(platform::scm::service_base("Svc") + ".status"));
    EXPECT_FALSE(platform::QueryServiceStatus(service, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_CORRUPT);
    EXPECT_FALSE(platform::StartServiceA(service, 0, nullptr));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_ALREADY_RUNNING);

    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(exit_code(pid), 0);
    EXPECT_EQ(::waitpid(bystander, nullptr, WNOHANG), 0); // never signalled
    ::close(gate);
}

// Whose names stand for the service: root's, the manager's own user's and
// those of the owner of the services folder, who may write the service's
// records anyway. A process of nobody's that holds a name claiming itself
// runs the service for the manager only when nobody owns that folder.
class NameOfTheFolderOwner : public Manager, public ::testing::WithParamInterface<bool> {};

TEST_P(NameOfTheFolderOwner, StandsForTheService) {
    const bool nobody_owns_the_folder = GetParam();
    platform::SC_HANDLE service = create("Svc", kStub + " Svc");
    ASSERT_NE(service, nullptr);
    if (nobody_owns_the_folder) {
        ASSERT_EQ(::chown(platform::scm::services_dir().c_str(), nobody_uid(), static_cast<gid_t>(-1)), 0);
    }
    osktest::ForeignNameHolder holder;
    ASSERT_TRUE(holder.start("Svc", {}, true));
    platform::SERVICE_STATUS status{};
    platform::DWORD found = 0;
    ASSERT_TRUE(platform::QueryServiceNameHolders(service, nullptr, 0, &found));
    if (nobody_owns_the_folder) {
        EXPECT_EQ(found, 0u);
        // A process runs the service, and no record of it is there.
        EXPECT_FALSE(platform::QueryServiceStatus(service, &status));
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_CORRUPT);
        EXPECT_FALSE(platform::StartServiceA(service, 0, nullptr));
        EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_ALREADY_RUNNING);
    } else {
        EXPECT_EQ(found, 2u);
        ASSERT_TRUE(platform::QueryServiceStatus(service, &status));
        EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
        ASSERT_TRUE(platform::StartServiceA(service, 0, nullptr)) << platform::GetLastError();
    }
}

INSTANTIATE_TEST_SUITE_P(Owners, NameOfTheFolderOwner, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Nobody" : "Root"; });

// A process that a manager starts for a service that already runs does
// not become the service beside it, even with the status record naming
// it as the one starting: its dispatcher finds the running process by its
// run name and refuses. The test plays that manager's part of the start.
TEST_F(Manager, ASecondProcessDoesNotBecomeTheRunningService) {
    platform::SC_HANDLE service = running_stub("Svc");
    ASSERT_NE(service, nullptr);
    const int first = pid_of(service);
    const std::string base = platform::scm::service_base("Svc");
    const std::string connect = state_.file("second.start");
    int listen_fd = -1;
    ASSERT_EQ(platform::scm::listen_socket(connect, listen_fd), 0u);
    std::vector<std::string> environment;
    for (char **e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    environment.push_back("OSKAVELDE_SCM_CONNECT=" + connect);
    platform::scm::ProcessMark second;
    ASSERT_EQ(platform::scm::start_detached({kStub, "Svc"}, environment, second), 0u);
    watched_.push_back(second.pid);
    platform::scm::StatusRecord starting;
    starting.status = platform::SERVICE_STATUS{platform::SERVICE_WIN32_OWN_PROCESS, platform::SERVICE_START_PENDING,
                                               0, 0, 0, 0, 0};
    starting.process = second;
    ASSERT_EQ(platform::scm::write_status(base, starting), 0u);

    platform::scm::Peer peer;
    const int fd = platform::scm::accept_connection(listen_fd, 10000, peer);
    ASSERT_GE(fd, 0);
    std::string line;
    EXPECT_EQ(platform::scm::receive_line(fd, 10000, line), platform::scm::Received::line);
    EXPECT_EQ(line, "HELLO");
    EXPECT_TRUE(platform::scm::send_line(fd, "START Svc"));
    EXPECT_TRUE(platform::scm::send_line(fd, "BASE " + base));
    EXPECT_EQ(platform::scm::receive_line(fd, 10000, line), platform::scm::Received::line);
    EXPECT_EQ(line, "FAIL " + std::to_string(platform::ERROR_SERVICE_ALREADY_RUNNING));
    ::close(fd);
    ::close(listen_fd);
    EXPECT_EQ(osktest::wait_for_exit(second.pid, 10s), 1);

    // The first is still the service, and still stops.
    watched_.push_back(first);
    platform::SERVICE_STATUS status{};
    ASSERT_TRUE(platform::ControlService(service, platform::SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, platform::SERVICE_STOPPED);
    EXPECT_EQ(osktest::wait_for_exit(first, 10s), 0);
}

TEST(ProcessSignal, ReachesOnlyTheMarkedProcess) {
    int gate = -1;
    const pid_t child = waiting_child(gate);
    ASSERT_GT(child, 0);
    platform::scm::ProcessMark mark;
    ASSERT_TRUE(platform::scm::process_mark_of(child, mark));
    // The identifier under another start time: an earlier process that
    // had it and has ended.
    EXPECT_EQ(platform::scm::signal_marked({child, mark.start_time + 1}, SIGTERM), ESRCH);
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0);
    EXPECT_EQ(platform::scm::signal_marked(mark, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(platform::scm::signal_marked(mark, SIGTERM), ESRCH);
    EXPECT_EQ(platform::scm::signal_marked({}, SIGTERM), ESRCH);
    ::close(gate);
}

TEST(Dispatcher, OutsideTheManagerFailsAtOnce) {
    static char name[] = "Svc";
    const platform::SERVICE_TABLE_ENTRYA table[] = {{name, [](platform::DWORD, platform::LPSTR *) {}},
                                                    {nullptr, nullptr}};
    ::unsetenv("OSKAVELDE_SCM_CONNECT");
    EXPECT_FALSE(platform::StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ScratchDir dir;
    ::setenv("OSKAVELDE_SCM_CONNECT", dir.file("nobody.start").c_str(), 1);
    EXPECT_FALSE(platform::StartServiceCtrlDispatcherA(table));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
    ::unsetenv("OSKAVELDE_SCM_CONNECT");
    EXPECT_EQ(platform::RegisterServiceCtrlHandlerExA(
                  "Svc", [](platform::DWORD, platform::DWORD, platform::LPVOID, platform::LPVOID) { return 0u; },
                  nullptr),
              nullptr);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_SERVICE_NOT_IN_EXE);
    platform::SERVICE_STATUS status{};
    EXPECT_FALSE(platform::SetServiceStatus(nullptr, &status));
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_HANDLE);
}

TEST(MessageText, EveryCodeOfTheLayerHasOne) {
    const platform::DWORD codes[] = {0,    2,    3,    4,    5,    6,    8,    13,   31,   80,   87,   122,
                                     123,  126,  127,  183,  203,  206,  234,  1018, 1052, 1053, 1055, 1056,
                                     1060, 1061, 1062, 1063, 1067, 1073, 1083, 1305, 1392, 1400, 1444};
    const platform::DWORD flags = platform::FORMAT_MESSAGE_FROM_SYSTEM | platform::FORMAT_MESSAGE_ALLOCATE_BUFFER;
    for (const platform::DWORD code : codes) {
        char *text = nullptr;
        const platform::DWORD length =
            platform::FormatMessageA(flags, nullptr, code, 0x400, reinterpret_cast<char *>(&text), 0, nullptr);
        ASSERT_NE(length, 0u) << code;
        EXPECT_EQ(std::strlen(text), length);
        EXPECT_EQ(std::strchr(text, '\n'), nullptr);
        platform::LocalFree(text);
    }
    char small[8];
    EXPECT_EQ(platform::FormatMessageA(platform::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1073, 0, small, sizeof small,
                                       nullptr),
              0u);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_INSUFFICIENT_BUFFER);
    char text[128];
    EXPECT_EQ(platform::FormatMessageA(platform::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 4242, 0, text, sizeof text,
                                       nullptr),
              0u);
    EXPECT_EQ(platform::GetLastError(), platform::ERROR_MR_MID_NOT_FOUND);
    EXPECT_GT(platform::FormatMessageA(platform::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1056, 0, text, sizeof text,
                                       nullptr),
              0u);
    EXPECT_STREQ(text, "The service is already running.");
}

} // namespace
