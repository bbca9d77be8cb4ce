// A sandbox for the whole-process tests of the agent as a service: a
// service control manager state directory and a data directory of the
// test's own, the management commands run as processes of their own
// (each in its own folder, where a -log run writes its debug log), the
// manager's view of the service through the platform's calls, and the exit
// status of the service process itself. The test process makes itself the
// reaper of its orphaned descendants, so the detached service process,
// whose starter has ended, becomes its child and can be waited for.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/scm/registry.h"
#include "platform/scm/scm_records.h"
#include "platform/scm/service_control.h"
#include "tests/support/agent_process.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wait_until.h"

namespace osktest {

using namespace std::chrono_literals;

constexpr const char *kDisplayName = "Oskavelde - SNMP Monitor";

// What a management command left behind.
struct CommandRun {
    int exit = -1;
    std::string out;
    std::string err;
    std::string log; // its -log file, in the folder it ran in
};

class ServiceSandbox {
  public:
    ServiceSandbox() {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        std::filesystem::create_directories(data_.file("Kervon"));
        ::setenv("OSKAVELDE_SCM_DIR", state_dir().c_str(), 1);
    }
    ~ServiceSandbox() {
        const int pid = service_pid();
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        ::unsetenv("OSKAVELDE_SCM_DIR");
    }
    ServiceSandbox(const ServiceSandbox &) = delete;
    ServiceSandbox &operator=(const ServiceSandbox &) = delete;

    std::string state_dir() const { return state_.path(); }
    // The folder that ALLUSERSPROFILE names for every command and so for
    // the service they start.
    const ScratchDir &data() const { return data_; }
    void write_ini(const std::string &text) const { write_file_bytes(data_.file("Kervon/kervon.ini"), text); }
    // The service's debug log in the data directory.
    std::string service_log() const { return read_file_bytes(data_.file("Kervon/debugsnmp.log")); }

    // Runs the agent (or the program given) with the arguments and waits
    // for its end.
    CommandRun run(const std::vector<std::string> &args, const std::string &program = {}) const {
        AgentProcess command;
        prepare(command, program);
        CommandRun result;
        if (!command.start(args))
            return result;
        result.exit = command.wait_exit(60s);
        result.out = command.out();
        result.err = command.err();
        result.log = read_file_bytes(command.dir().file("debugsnmp.log"));
        return result;
    }

    // The sandbox's environment for a process the test starts itself.
    void prepare(AgentProcess &process, const std::string &program = {}) const {
        process.set_environment("ALLUSERSPROFILE", data_.path());
        process.set_environment("OSKAVELDE_SCM_DIR", state_dir());
        if (!program.empty())
            process.set_program(program);
    }

    // The service's status as the manager reports it; false when the
    // service is not installed.
    static bool query(platform::SERVICE_STATUS_PROCESS &status) {
        const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_CONNECT);
        const platform::SC_HANDLE service =
            manager != nullptr ? platform::OpenServiceA(manager, "Oskavelde", platform::SERVICE_QUERY_STATUS) : nullptr;
        platform::DWORD needed = 0;
        const bool ok = service != nullptr &&
                        platform::QueryServiceStatusEx(service, platform::SC_STATUS_PROCESS_INFO,
                                                       reinterpret_cast<platform::BYTE *>(&status), sizeof status,
                                                       &needed);
        if (service != nullptr)
            platform::CloseServiceHandle(service);
        if (manager != nullptr)
            platform::CloseServiceHandle(manager);
        return ok;
    }

    // Installs the service "Oskavelde" as a demand-start service that runs
    // the command line given, as a stand-in for the agent's own
    // installation; false when the manager refuses it.
    static bool install_program(const std::string &command_line) {
        const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_ALL_ACCESS);
        const platform::SC_HANDLE service =
            manager != nullptr
                ? platform::CreateServiceA(manager, "Oskavelde", kDisplayName, platform::SERVICE_ALL_ACCESS,
                                           platform::SERVICE_WIN32_OWN_PROCESS | platform::SERVICE_INTERACTIVE_PROCESS,
                                           platform::SERVICE_DEMAND_START, platform::SERVICE_ERROR_NORMAL,
                                           command_line.c_str(), "", nullptr, nullptr, nullptr, nullptr)
                : nullptr;
        if (service != nullptr)
            platform::CloseServiceHandle(service);
        if (manager != nullptr)
            platform::CloseServiceHandle(manager);
        return service != nullptr;
    }

    static int service_pid() {
        platform::SERVICE_STATUS_PROCESS status{};
        return query(status) ? static_cast<int>(status.dwProcessId) : 0;
    }

    // The process that last ran the service, as its status record names
    // it, also once it has stopped.
    static int recorded_pid() {
        platform::scm::StatusRecord record;
        return platform::scm::read_status(platform::scm::service_base("Oskavelde"), record) ? record.process.pid : 0;
    }

    // A file of the service in the manager's state directory, by its
    // extension (".status", ".sock", ...).
    static std::string service_file(const std::string &extension) {
        return platform::scm::service_base("Oskavelde") + extension;
    }

    static platform::DWORD state() {
        platform::SERVICE_STATUS_PROCESS status{};
        return query(status) ? status.dwCurrentState : 0;
    }

    // True once the service reports the state, within the limit.
    static bool wait_state(platform::DWORD wanted, std::chrono::milliseconds limit) {
        return wait_until([&] { return state() == wanted; }, limit);
    }

    // True once the service's debug log holds the text, within the limit.
    bool wait_for_log(const std::string &text, std::chrono::milliseconds limit) const {
        return wait_until([&] { return service_log().find(text) != std::string::npos; }, limit, 50ms);
    }

    // The exit code of a service process once it has ended, within the
    // limit: -1 when it still runs, 128 + n after signal n. The sandbox
    // reaps the detached service process, so it can be waited for.
    static int wait_service_exit(int pid, std::chrono::milliseconds limit) { return wait_for_exit(pid, limit); }

    // The status reports the service's process made, oldest first.
    static std::vector<platform::SERVICE_STATUS> reports() { return platform::scm::status_reports("Oskavelde"); }

    // The service's configuration as the manager recorded it.
    static bool config(std::string &path, platform::DWORD &type, platform::DWORD &start_type, std::string &group,
                       std::string &display_name) {
        const platform::SC_HANDLE manager = platform::OpenSCManagerA(nullptr, nullptr, platform::SC_MANAGER_CONNECT);
        const platform::SC_HANDLE service =
            manager != nullptr ? platform::OpenServiceA(manager, "Oskavelde", platform::SERVICE_QUERY_CONFIG) : nullptr;
        alignas(8) char buffer[8192];
        auto *c = reinterpret_cast<platform::QUERY_SERVICE_CONFIGA *>(buffer);
        platform::DWORD needed = 0;
        const bool ok = service != nullptr && platform::QueryServiceConfigA(service, c, sizeof buffer, &needed);
        if (ok) {
            path = c->lpBinaryPathName;
            type = c->dwServiceType;
            start_type = c->dwStartType;
            group = c->lpLoadOrderGroup;
            display_name = c->lpDisplayName;
        }
        if (service != nullptr)
            platform::CloseServiceHandle(service);
        if (manager != nullptr)
            platform::CloseServiceHandle(manager);
        return ok;
    }

    // A registry value under HKEY_LOCAL_MACHINE; false when the key or the
    // value is missing.
    static bool registry_value(const std::string &key_name, const char *value, platform::DWORD &type,
                               std::string &data) {
        platform::HKEY key = nullptr;
        if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key_name.c_str(), 0, platform::KEY_READ, &key) != 0)
            return false;
        char bytes[1024];
        platform::DWORD size = sizeof bytes;
        const bool ok = platform::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<platform::BYTE *>(bytes),
                                                   &size) == 0;
        platform::RegCloseKey(key);
        if (ok)
            data.assign(bytes, size);
        return ok;
    }

    static bool registry_key_exists(const std::string &key_name) {
        platform::HKEY key = nullptr;
        if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key_name.c_str(), 0, platform::KEY_READ, &key) != 0)
            return false;
        platform::RegCloseKey(key);
        return true;
    }

  private:
    ScratchDir state_;
    ScratchDir data_;
};

} // namespace osktest
