// The management side of the service control manager: handles to the
// manager and to services, the records they change, the start of a
// service's process and the controls sent to its dispatcher.
#include "platform/scm/service_control.h"

#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/handle.h"
#include "platform/scm/registry.h"
#include "platform/scm/scm_channel.h"
#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "platform/scm/service_view.h"
#include "platform/scm/state_file.h"
#include "platform/scm/unix_names.h"

extern char **environ;

namespace platform {

namespace {

using scm::ServiceConfig;
using scm::ServiceView;
using scm::StatusRecord;

constexpr const char kConnectVariable[] = "OSKAVELDE_SCM_CONNECT";
constexpr const char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr int kConnectLimitMs = 30000; // for a started process's dispatcher
constexpr int kAnswerLimitMs = 10000;  // for each line of the start's dialogue
constexpr int kControlConnectMs = 5000;
constexpr int kAlivePollMs = 250;
// For a process that reported itself stopped to end, and for one asked to
// end with SIGTERM.
constexpr int kEndingLimitMs = 10000;
constexpr int kTerminateLimitMs = 30000;

// Rights that only read: everything else changes a service or reaches its
// process, and needs a state directory that the caller may write.
constexpr DWORD kManagerReadRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE |
                                     SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kServiceReadRights =
    SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | READ_CONTROL;

struct ScmObject : KernelObject {
    ScmObject(bool is_manager, DWORD rights, std::string service)
        : manager(is_manager), access(rights), name(std::move(service)) {}
    const bool manager;
    const DWORD access;
    const std::string name; // the service's name as recorded
};

std::shared_ptr<ScmObject> object_of(SC_HANDLE handle, bool manager) {
    auto object = std::dynamic_pointer_cast<ScmObject>(object_from_handle(reinterpret_cast<HANDLE>(handle)));
    if (!object || object->manager != manager)
        return nullptr;
    return object;
}

SC_HANDLE handle_for(bool manager, DWORD access, std::string name) {
    return reinterpret_cast<SC_HANDLE>(
        handle_from_object(std::make_shared<ScmObject>(manager, access, std::move(name))));
}

BOOL fail(DWORD code) {
    SetLastError(code);
    return FALSE;
}

SC_HANDLE fail_handle(DWORD code) {
    SetLastError(code);
    return nullptr;
}

// The service object of a handle with the rights asked for; null with the
// last error set otherwise.
std::shared_ptr<ScmObject> service_with(SC_HANDLE handle, DWORD rights) {
    auto object = object_of(handle, false);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if ((object->access & rights) != rights) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return object;
}

DWORD recorded_type(const std::string &name) {
    ServiceConfig config;
    return scm::read_config(name, config) ? config.type : SERVICE_WIN32_OWN_PROCESS;
}

// The caller's environment with the entry that tells the dispatcher where
// to connect.
std::vector<std::string> service_environment(const std::string &connect_path) {
    std::vector<std::string> env;
    const std::size_t name_length = sizeof kConnectVariable - 1;
    for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
        if (std::strncmp(*e, kConnectVariable, name_length) == 0 && (*e)[name_length] == '=')
            continue;
        env.emplace_back(*e);
    }
    env.push_back(std::string(kConnectVariable) + "=" + connect_path);
    return env;
}

// "FAIL <code>" as the code, ERROR_GEN_FAILURE for anything else.
DWORD failure_of(const std::string &line) {
    if (line.compare(0, 5, "FAIL ") == 0) {
        char *end = nullptr;
        const unsigned long code = std::strtoul(line.c_str() + 5, &end, 10);
        if (end != line.c_str() + 5 && *end == '\0' && code != 0 && code <= 0xFFFFFFFFul)
            return static_cast<DWORD>(code);
    }
    return ERROR_GEN_FAILURE;
}

// The dialogue with a started process: its dispatcher connects, says
// hello, is told the service to run and where its records are, and
// answers when it is ready to take controls.
DWORD await_dispatcher(int listen_fd, const scm::ProcessMark &process, const std::string &name,
                       const std::string &base) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectLimitMs);
    while (std::chrono::steady_clock::now() < until) {
        scm::Peer peer;
        const int fd = scm::accept_connection(listen_fd, kAlivePollMs, peer);
        if (fd < 0) {
            if (!scm::process_alive(process))
                return ERROR_SERVICE_REQUEST_TIMEOUT;
            continue;
        }
        // Only the process just started may take the service's place.
        if (peer.pid != process.pid) {
            ::close(fd);
            continue;
        }
        std::string line;
        DWORD result = ERROR_SERVICE_REQUEST_TIMEOUT;
        if (scm::receive_line(fd, kAnswerLimitMs, line) == scm::Received::line && line == "HELLO" &&
            scm::send_line(fd, "START " + name) && scm::send_line(fd, "BASE " + base) &&
            scm::receive_line(fd, kAnswerLimitMs, line) == scm::Received::line)
            result = line == "READY" ? ERROR_SUCCESS : failure_of(line);
        ::close(fd);
        return result;
    }
    return ERROR_SERVICE_REQUEST_TIMEOUT;
}

// Parses "DONE <result>".
bool done_of(const std::string &line, DWORD &result) {
    if (line.compare(0, 5, "DONE ") != 0)
        return false;
    char *end = nullptr;
    const unsigned long value = std::strtoul(line.c_str() + 5, &end, 10);
    if (end == line.c_str() + 5 || *end != '\0' || value > 0xFFFFFFFFul)
        return false;
    result = static_cast<DWORD>(value);
    return true;
}

// True while the service's process runs: the one marked, or, when none
// can be named, whichever the manager's view finds running the service.
bool process_runs(const std::string &base, const scm::ProcessMark &process) {
    return process.pid > 0 ? scm::process_alive(process) : scm::view_service(base, 0).running;
}

// True once the service's process has gone, allowing it a moment: the
// dispatcher's connection closes as the process ends, a moment before
// the process reads as ended.
bool process_gone(const std::string &base, const scm::ProcessMark &process) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAlivePollMs);
    while (process_runs(base, process)) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Sends the control to the dispatcher and waits for the handler's return
// as long as the service's process runs. answered is set when the
// dispatcher took the control and answered it.
DWORD deliver_control(const std::string &base, const scm::ProcessMark &process, DWORD control,
                      DWORD &handler_result, bool &answered) {
    answered = false;
    int fd = -1;
    const DWORD connected = scm::connect_socket(base + ".sock", kControlConnectMs, fd);
    if (connected != ERROR_SUCCESS) {
        if (!process_runs(base, process))
            return ERROR_SERVICE_NOT_ACTIVE;
        return connected == ERROR_FILE_NOT_FOUND ? ERROR_SERVICE_REQUEST_TIMEOUT : connected;
    }
    DWORD result = ERROR_SUCCESS;
    if (!scm::send_line(fd, "CONTROL " + std::to_string(control))) {
        result = process_gone(base, process) ? ERROR_PROCESS_ABORTED : ERROR_SERVICE_REQUEST_TIMEOUT;
    } else {
        for (;;) {
            std::string line;
            const scm::Received got = scm::receive_line(fd, kAlivePollMs, line);
            if (got == scm::Received::line) {
                answered = true;
                if (!done_of(line, handler_result))
                    result = failure_of(line);
                break;
            }
            if (got == scm::Received::timeout && process_runs(base, process))
                continue;
            result = process_gone(base, process) ? ERROR_PROCESS_ABORTED : ERROR_SERVICE_REQUEST_TIMEOUT;
            break;
        }
    }
    ::close(fd);
    return result;
}

// A stop that cannot reach the service's dispatcher (its control socket
// lost, or no answer from it while the process lives) still ends the
// service: its process is asked to end with SIGTERM, which a service
// takes as a shutdown, and is waited for.
DWORD terminate_service(const std::string &base, const scm::ProcessMark &process) {
    // A run name says a process runs, but neither it nor a record names
    // the process.
    if (process.pid <= 0)
        return process_runs(base, process) ? ERROR_FILE_CORRUPT : ERROR_SUCCESS;
    const DWORD asked = scm::ask_process_to_end(process);
    if (asked != ERROR_SUCCESS)
        return asked;
    return scm::wait_process_end(process, kTerminateLimitMs) ? ERROR_SUCCESS : ERROR_SERVICE_REQUEST_TIMEOUT;
}

// True while a process of the service runs; one that has reported itself
// stopped is given a while to end first.
bool service_in_the_way(const std::string &base, DWORD type) {
    const ServiceView view = scm::view_service(base, type);
    if (view.running)
        return true;
    return view.ending.pid > 0 && !scm::wait_process_end(view.ending, kEndingLimitMs);
}

// The controls ControlService may send, and the right each needs.
bool control_right(DWORD control, DWORD &right) {
    if (control == SERVICE_CONTROL_STOP)
        right = SERVICE_STOP;
    else if (control == SERVICE_CONTROL_INTERROGATE)
        right = SERVICE_INTERROGATE;
    else if (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE ||
             (control >= SERVICE_CONTROL_PARAMCHANGE && control <= 10))
        right = SERVICE_PAUSE_CONTINUE;
    else if (control >= 128 && control <= 255)
        right = SERVICE_USER_DEFINED_CONTROL;
    else
        return false;
    return true;
}

bool valid_service_type(DWORD type) {
    const DWORD process_kind = type & ~SERVICE_INTERACTIVE_PROCESS;
    if (process_kind == SERVICE_WIN32_OWN_PROCESS || process_kind == SERVICE_WIN32_SHARE_PROCESS)
        return true;
    return type == SERVICE_KERNEL_DRIVER || type == SERVICE_FILE_SYSTEM_DRIVER;
}

// The dependency list: texts each ended by NUL, then one more NUL.
bool dependency_list(LPCSTR list, std::vector<std::string> &out) {
    out.clear();
    if (list == nullptr)
        return true;
    std::size_t total = 0;
    for (const char *p = list; *p != '\0'; p += std::strlen(p) + 1) {
        const std::string entry(p);
        total += entry.size() + 1;
        if (!scm::valid_record_text(entry) || entry.find('/') != std::string::npos || total > scm::kMaxRecordText)
            return false;
        out.push_back(entry);
    }
    return true;
}

std::string services_key(const std::string &name) { return std::string(kServicesKey) + name; }

} // namespace

SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD desired_access) {
    if ((machine != nullptr && machine[0] != '\0') ||
        (database != nullptr && ::strcasecmp(database, "ServicesActive") != 0))
        return fail_handle(ERROR_INVALID_PARAMETER);
    if ((desired_access & ~kManagerReadRights) != 0 && !folder_writable(state_dir()))
        return fail_handle(ERROR_ACCESS_DENIED);
    return handle_for(true, desired_access, {});
}

SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR service_name, LPCSTR display_name, DWORD desired_access,
                         DWORD service_type, DWORD start_type, DWORD error_control, LPCSTR binary_path,
                         LPCSTR load_order_group, LPDWORD tag_id, LPCSTR dependencies, LPCSTR account,
                         LPCSTR /*password*/) {
    auto scm_object = object_of(manager, true);
    if (!scm_object)
        return fail_handle(ERROR_INVALID_HANDLE);
    if ((scm_object->access & SC_MANAGER_CREATE_SERVICE) == 0)
        return fail_handle(ERROR_ACCESS_DENIED);
    if (!scm::valid_service_name(service_name))
        return fail_handle(ERROR_INVALID_NAME);
    ServiceConfig config;
    config.name = service_name;
    config.display_name = display_name != nullptr ? display_name : service_name;
    config.type = service_type;
    config.start_type = start_type;
    config.error_control = error_control;
    config.binary_path = binary_path != nullptr ? binary_path : "";
    config.group = load_order_group != nullptr ? load_order_group : "";
    config.account = account != nullptr ? account : "LocalSystem";
    if (config.display_name.size() > scm::kMaxServiceName || !scm::valid_record_text(config.display_name) ||
        config.binary_path.empty() || !scm::valid_record_text(config.binary_path) ||
        !scm::valid_record_text(config.group) || !scm::valid_record_text(config.account) ||
        !dependency_list(dependencies, config.dependencies) || !valid_service_type(service_type) ||
        start_type > SERVICE_DISABLED || error_control > SERVICE_ERROR_CRITICAL)
        return fail_handle(ERROR_INVALID_PARAMETER);
    if (tag_id != nullptr)
        *tag_id = 0;

    const std::string base = scm::service_base(config.name);
    DWORD error = ERROR_SUCCESS;
    const int lock = scm::lock_service(base, error);
    if (lock < 0)
        return fail_handle(error);
    ServiceConfig existing;
    if (scm::read_config(config.name, existing)) {
        scm::unlock_service(lock);
        return fail_handle(ERROR_SERVICE_EXISTS);
    }
    error = scm::write_config(config);
    if (error == ERROR_SUCCESS) {
        HKEY key = nullptr;
        error = static_cast<DWORD>(RegCreateKeyExA(HKEY_LOCAL_MACHINE, services_key(config.name).c_str(), 0, nullptr,
                                                   REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        if (error == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            scm::remove_config(config.name);
    }
    scm::unlock_service(lock);
    if (error != ERROR_SUCCESS)
        return fail_handle(error);
    return handle_for(false, desired_access, config.name);
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR service_name, DWORD desired_access) {
    if (!object_of(manager, true))
        return fail_handle(ERROR_INVALID_HANDLE);
    if (!scm::valid_service_name(service_name))
        return fail_handle(ERROR_INVALID_NAME);
    ServiceConfig config;
    if (!scm::read_config(service_name, config)) {
        // A damaged record of a service whose process runs is no missing
        // service: that would leave the process out of reach unnoticed.
        const bool damaged = scm::config_present(service_name) &&
                             scm::view_service(scm::service_base(service_name), SERVICE_WIN32_OWN_PROCESS).running;
        return fail_handle(damaged ? ERROR_FILE_CORRUPT : ERROR_SERVICE_DOES_NOT_EXIST);
    }
    if ((desired_access & ~kServiceReadRights) != 0 && !folder_writable(scm::services_dir()))
        return fail_handle(ERROR_ACCESS_DENIED);
    return handle_for(false, desired_access, config.name);
}

BOOL StartServiceA(SC_HANDLE service, DWORD argument_count, LPCSTR * /*arguments*/) {
    auto object = service_with(service, SERVICE_START);
    if (!object)
        return FALSE;
    if (argument_count != 0)
        return fail(ERROR_INVALID_PARAMETER);
    const std::string base = scm::service_base(object->name);
    if (!scm::valid_record_text(base))
        return fail(ERROR_INVALID_PARAMETER);
    DWORD error = ERROR_SUCCESS;
    const int lock = scm::lock_service(base, error);
    if (lock < 0)
        return fail(error);

    ServiceConfig config;
    std::vector<std::string> argv;
    int listen_fd = -1;
    scm::ProcessMark process;
    bool spawned = false;
    if (!scm::read_config(object->name, config)) {
        error = ERROR_SERVICE_DOES_NOT_EXIST;
    } else if (service_in_the_way(base, config.type)) {
        error = ERROR_SERVICE_ALREADY_RUNNING;
    } else if (!scm::split_command_line(config.binary_path, argv)) {
        error = ERROR_FILE_NOT_FOUND;
    } else {
        error = scm::listen_socket(base + ".start", listen_fd);
    }
    if (error == ERROR_SUCCESS) {
        error = scm::start_detached(argv, service_environment(base + ".start"), process);
        spawned = error == ERROR_SUCCESS;
    }
    if (spawned) {
        StatusRecord starting;
        starting.status = SERVICE_STATUS{config.type, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
        starting.process = process;
        error = scm::write_status(base, starting);
        if (error == ERROR_SUCCESS)
            error = await_dispatcher(listen_fd, process, config.name, base);
    }
    if (listen_fd >= 0) {
        ::close(listen_fd);
        ::unlink((base + ".start").c_str());
    }
    if (error != ERROR_SUCCESS && spawned) {
        // A process that did not become the service does not stay.
        scm::end_process(process);
        StatusRecord stopped;
        stopped.status = SERVICE_STATUS{config.type, SERVICE_STOPPED, 0, error, 0, 0, 0};
        scm::write_status(base, stopped);
    }
    scm::unlock_service(lock);
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    DWORD right = 0;
    if (!control_right(control, right))
        return fail(ERROR_INVALID_PARAMETER);
    auto object = service_with(service, right);
    if (!object)
        return FALSE;
    if (status == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const std::string base = scm::service_base(object->name);
    const DWORD type = recorded_type(object->name);
    const ServiceView now = scm::view_service(base, type);
    *status = now.current.status;
    if (!now.running)
        return fail(ERROR_SERVICE_NOT_ACTIVE);
    // With its record damaged the service's own handler judges the control.
    const DWORD state = now.current.status.dwCurrentState;
    const DWORD accepted = now.current.status.dwControlsAccepted;
    if (!now.damaged && (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING))
        return fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    if (!now.damaged &&
        ((control == SERVICE_CONTROL_STOP && (accepted & SERVICE_ACCEPT_STOP) == 0) ||
         ((control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE) &&
          (accepted & SERVICE_ACCEPT_PAUSE_CONTINUE) == 0)))
        return fail(ERROR_INVALID_SERVICE_CONTROL);
    DWORD handler_result = NO_ERROR;
    bool answered = false;
    DWORD delivered = deliver_control(base, now.current.process, control, handler_result, answered);
    if (control == SERVICE_CONTROL_STOP && !answered && process_runs(base, now.current.process))
        delivered = terminate_service(base, now.current.process);
    *status = scm::view_service(base, type).current.status;
    if (delivered != ERROR_SUCCESS)
        return fail(delivered);
    return handler_result == NO_ERROR ? TRUE : fail(handler_result);
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    auto object = service_with(service, SERVICE_QUERY_STATUS);
    if (!object)
        return FALSE;
    if (status == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const ServiceView view = scm::view_service(scm::service_base(object->name), recorded_type(object->name));
    if (view.damaged)
        return fail(ERROR_FILE_CORRUPT);
    *status = view.current.status;
    return TRUE;
}

BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE *buffer, DWORD size,
                          LPDWORD bytes_needed) {
    auto object = service_with(service, SERVICE_QUERY_STATUS);
    if (!object)
        return FALSE;
    if (level != SC_STATUS_PROCESS_INFO || bytes_needed == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    *bytes_needed = sizeof(SERVICE_STATUS_PROCESS);
    if (buffer == nullptr || size < sizeof(SERVICE_STATUS_PROCESS))
        return fail(ERROR_INSUFFICIENT_BUFFER);
    const ServiceView view = scm::view_service(scm::service_base(object->name), recorded_type(object->name));
    if (view.damaged)
        return fail(ERROR_FILE_CORRUPT);
    const StatusRecord &now = view.current;
    const SERVICE_STATUS &s = now.status;
    const SERVICE_STATUS_PROCESS out{s.dwServiceType,   s.dwCurrentState, s.dwControlsAccepted,
                                     s.dwWin32ExitCode, s.dwServiceSpecificExitCode,
                                     s.dwCheckPoint,    s.dwWaitHint,     static_cast<DWORD>(now.process.pid),
                                     0};
    std::memcpy(buffer, &out, sizeof out);
    return TRUE;
}

BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA *config, DWORD size, LPDWORD bytes_needed) {
    auto object = service_with(service, SERVICE_QUERY_CONFIG);
    if (!object)
        return FALSE;
    if (bytes_needed == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    ServiceConfig recorded;
    if (!scm::read_config(object->name, recorded))
        return fail(ERROR_SERVICE_DOES_NOT_EXIST);
    std::string list;
    for (const std::string &d : recorded.dependencies)
        list += d + '\0';
    list += '\0';
    const std::string *texts[] = {&recorded.binary_path, &recorded.group, &recorded.account,
                                  &recorded.display_name};
    std::size_t needed = sizeof(QUERY_SERVICE_CONFIGA) + list.size();
    for (const std::string *t : texts)
        needed += t->size() + 1;
    *bytes_needed = static_cast<DWORD>(needed);
    if (config == nullptr || size < needed)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    char *at = reinterpret_cast<char *>(config) + sizeof(QUERY_SERVICE_CONFIGA);
    auto place = [&at](const std::string &text) {
        char *start = at;
        std::memcpy(at, text.c_str(), text.size() + 1);
        at += text.size() + 1;
        return start;
    };
    config->dwServiceType = recorded.type;
    config->dwStartType = recorded.start_type;
    config->dwErrorControl = recorded.error_control;
    config->dwTagId = 0;
    config->lpBinaryPathName = place(recorded.binary_path);
    config->lpLoadOrderGroup = place(recorded.group);
    config->lpServiceStartName = place(recorded.account);
    config->lpDisplayName = place(recorded.display_name);
    config->lpDependencies = at;
    std::memcpy(at, list.data(), list.size());
    return TRUE;
}

BOOL DeleteServiceA(SC_HANDLE service) {
    auto object = service_with(service, DELETE);
    if (!object)
        return FALSE;
    const std::string base = scm::service_base(object->name);
    DWORD error = ERROR_SUCCESS;
    const int lock = scm::lock_service(base, error);
    if (lock < 0)
        return fail(error);
    error = scm::remove_config(object->name);
    if (error == ERROR_SUCCESS) {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, services_key(object->name).c_str());
        if (!scm::view_service(base, 0).running)
            scm::remove_status(base);
    }
    scm::unlock_service(lock);
    return error == ERROR_SUCCESS ? TRUE : fail(error);
}

BOOL QueryServiceNameHolders(SC_HANDLE service, SERVICE_NAME_HOLDER *holders, DWORD count, LPDWORD found) {
    auto object = service_with(service, 0);
    if (!object)
        return FALSE;
    if (found == nullptr || (holders == nullptr && count != 0))
        return fail(ERROR_INVALID_PARAMETER);
    const ServiceView view = scm::view_service(scm::service_base(object->name), 0);
    *found = static_cast<DWORD>(view.stranger_count);
    for (std::size_t i = 0; i < view.strangers.size() && i < count; ++i)
        holders[i] = SERVICE_NAME_HOLDER{view.strangers[i].uid,
                                         static_cast<DWORD>(scm::socket_holder(view.strangers[i].inode))};
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (!std::dynamic_pointer_cast<ScmObject>(object_from_handle(reinterpret_cast<HANDLE>(handle))))
        return fail(ERROR_INVALID_HANDLE);
    return CloseHandle(reinterpret_cast<HANDLE>(handle));
}

} // namespace platform
