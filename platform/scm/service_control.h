// The service control manager on Linux: the management side of the Win32
// service calls (open the manager, create, open, start, control, query and
// delete a service), kept by the project's own small manager.
//
// The manager's state lives under the state directory, OSKAVELDE_SCM_DIR
// (default /var/lib/oskavelde/scm), in its folder "services": per service a
// record of its configuration ("<name>.service", a text that names the
// start type in words, "2 automatic" or "3 demand"), the status its
// process last reported ("<name>.status"), the control socket of its
// running dispatcher ("<name>.sock") and a lock file that keeps two
// management commands from changing the same service at once. Beside its
// files the service's process holds a run name, an abstract Unix socket
// name that no change to the folder can take and that names the process.
// Records are written to a temporary file and renamed; a record that is
// damaged or cut short reads as missing, except where it would hide a
// process that runs: whether the service runs, and its process, are taken
// from the run name first, and a running service whose records are
// damaged is reported with ERROR_FILE_CORRUPT, never as stopped or not
// installed. A name of the same shape bound by another user than root,
// the caller or the owner of the services folder never counts as the
// service. Names match without regard to case.
//
// StartServiceA runs the recorded command line (the path, in double quotes
// when it holds a blank, then any arguments) detached from the caller: in
// a session of its own, its standard streams on /dev/null, with the
// caller's environment and the entry OSKAVELDE_SCM_CONNECT, which tells
// its service control dispatcher where to connect back. Nothing starts a
// service at boot: the start type "automatic" is recorded only.
//
// ControlService hands the control to the running service's handler on its
// dispatcher thread, one control at a time, and returns after the handler
// has returned; a service process that has ended reads as stopped, also
// when it died without reporting. A stop that cannot reach the dispatcher
// asks the process to end with SIGTERM and waits for it. No call waits on a peer that has gone:
// connects and reads have time limits, and a wait for a handler ends when
// the service process ends.
//
// Every call that fails returns FALSE or null and sets the thread's last
// error to a Win32 code, which FormatMessageA turns into a text.
#pragma once

#include "platform/last_error.h"
#include "platform/win_types.h"

namespace platform {

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__ *;

// Service types.
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x00000001;
constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x00000002;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x00000010;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x00000020;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x00000100;

// Start types.
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;

// Error control.
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;

// Current states.
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_START_PENDING = 2;
constexpr DWORD SERVICE_STOP_PENDING = 3;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_CONTINUE_PENDING = 5;
constexpr DWORD SERVICE_PAUSE_PENDING = 6;
constexpr DWORD SERVICE_PAUSED = 7;

// Controls.
constexpr DWORD SERVICE_CONTROL_STOP = 0x00000001;
constexpr DWORD SERVICE_CONTROL_PAUSE = 0x00000002;
constexpr DWORD SERVICE_CONTROL_CONTINUE = 0x00000003;
constexpr DWORD SERVICE_CONTROL_INTERROGATE = 0x00000004;
constexpr DWORD SERVICE_CONTROL_SHUTDOWN = 0x00000005;
constexpr DWORD SERVICE_CONTROL_PARAMCHANGE = 0x00000006;
constexpr DWORD SERVICE_CONTROL_SESSIONCHANGE = 0x0000000E;

// Controls accepted.
constexpr DWORD SERVICE_ACCEPT_STOP = 0x00000001;
constexpr DWORD SERVICE_ACCEPT_PAUSE_CONTINUE = 0x00000002;
constexpr DWORD SERVICE_ACCEPT_SHUTDOWN = 0x00000004;
constexpr DWORD SERVICE_ACCEPT_SESSIONCHANGE = 0x00000080;

// Access rights of the manager and of a service.
constexpr DWORD DELETE = 0x00010000;
constexpr DWORD READ_CONTROL = 0x00020000;
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

constexpr DWORD NO_ERROR = 0;

// Errors of the manager and the dispatcher (with the layer's codes, among
// them ERROR_SERVICE_REQUEST_TIMEOUT, ERROR_SERVICE_ALREADY_RUNNING and
// ERROR_FILE_CORRUPT, which the manager's lower parts set as well).
constexpr DWORD ERROR_INVALID_SERVICE_CONTROL = 1052;
constexpr DWORD ERROR_SERVICE_DATABASE_LOCKED = 1055;
constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr DWORD ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
constexpr DWORD ERROR_PROCESS_ABORTED = 1067;
constexpr DWORD ERROR_SERVICE_EXISTS = 1073;
constexpr DWORD ERROR_SERVICE_NOT_IN_EXE = 1083;

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS *;

struct SERVICE_STATUS_PROCESS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
    DWORD dwProcessId;
    DWORD dwServiceFlags;
};

using SC_STATUS_TYPE = DWORD;
constexpr SC_STATUS_TYPE SC_STATUS_PROCESS_INFO = 0;

struct QUERY_SERVICE_CONFIGA {
    DWORD dwServiceType;
    DWORD dwStartType;
    DWORD dwErrorControl;
    LPSTR lpBinaryPathName;
    LPSTR lpLoadOrderGroup;
    DWORD dwTagId;
    LPSTR lpDependencies;
    LPSTR lpServiceStartName;
    LPSTR lpDisplayName;
};

// Opens the manager of this machine (machine null or empty, database null
// or "ServicesActive"). Rights that change services need a state directory
// that the caller can write (or create): ERROR_ACCESS_DENIED otherwise.
SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD desired_access);

// Records a new service, stopped, and creates its registry key
// SYSTEM\CurrentControlSet\Services\<name>. ERROR_SERVICE_EXISTS when one
// of that name is installed. The group is empty for none; dependencies are
// a list of texts each ended by NUL, the list ended by one more NUL (null
// for none); a null account is LocalSystem; the tag and the password are
// not kept (a tag asked for gets 0).
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR service_name, LPCSTR display_name,
                         DWORD desired_access, DWORD service_type, DWORD start_type,
                         DWORD error_control, LPCSTR binary_path, LPCSTR load_order_group,
                         LPDWORD tag_id, LPCSTR dependencies, LPCSTR account, LPCSTR password);

// ERROR_SERVICE_DOES_NOT_EXIST when no such service is installed;
// ERROR_FILE_CORRUPT when its record is damaged while its process runs.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR service_name, DWORD desired_access);

// Starts the recorded command line and returns once its dispatcher has
// connected and the service's main function is about to run; it does not
// wait for the service to report itself running. Service arguments are
// not carried: a count other than 0 is ERROR_INVALID_PARAMETER.
// ERROR_SERVICE_ALREADY_RUNNING while a process of the service runs
// (one that has reported itself stopped is given 10 seconds to end); the
// program's own error (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED) when it
// cannot be run; ERROR_SERVICE_REQUEST_TIMEOUT when it ends, or has not
// connected within 30 seconds (it is then ended); ERROR_SERVICE_NOT_IN_EXE
// when its dispatcher does not run this service.
BOOL StartServiceA(SC_HANDLE service, DWORD argument_count, LPCSTR *arguments);

// Hands the control to the service's handler and fills *status with the
// status after the handler has returned. Controls 1 to 10 and the
// user-defined 128 to 255 (ERROR_INVALID_PARAMETER for others);
// ERROR_SERVICE_NOT_ACTIVE when the service does not run,
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL while it is starting or stopping,
// ERROR_INVALID_SERVICE_CONTROL for a stop, pause or continue that it does
// not accept, ERROR_PROCESS_ABORTED when its process ends before the
// handler has returned, ERROR_SERVICE_REQUEST_TIMEOUT when its dispatcher
// does not take the control within 5 seconds. A stop that does not reach
// the dispatcher while the process runs sends it SIGTERM instead and
// succeeds once it has ended; ERROR_SERVICE_REQUEST_TIMEOUT when it has
// not ended within 30 seconds, ERROR_FILE_CORRUPT when neither a run name
// nor a record names the process. With the status record damaged, the
// handler alone judges the control.
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);

// The status the service last reported; SERVICE_STOPPED when it never ran
// or its process has ended (with ERROR_PROCESS_ABORTED as its exit code
// when the process ended without reporting itself stopped);
// ERROR_FILE_CORRUPT while its process runs with its status record
// missing or damaged. On failure the buffer is left as it was.
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);

// The same with the service's process identifier (0 when it does not run),
// into a SERVICE_STATUS_PROCESS buffer of size bytes.
BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE *buffer, DWORD size,
                          LPDWORD bytes_needed);

// The recorded configuration, its texts placed in the buffer after the
// record; ERROR_INSUFFICIENT_BUFFER with *bytes_needed when it is too
// small.
BOOL QueryServiceConfigA(SC_HANDLE service, QUERY_SERVICE_CONFIGA *config, DWORD size,
                         LPDWORD bytes_needed);

// Removes the record and the service's registry key. A service that still
// runs goes on running until it stops; it can no longer be opened.
BOOL DeleteServiceA(SC_HANDLE service);

BOOL CloseServiceHandle(SC_HANDLE handle);

// Of this manager's own, no Win32 call: a process of another user that
// holds a name in the service's run-name space, which the manager passes
// over. dwProcessId is 0 when the holder cannot be found (only root may
// look into another user's processes).
struct SERVICE_NAME_HOLDER {
    DWORD dwUserId;
    DWORD dwProcessId;
};

// The holders of names in the service's run-name space that are not the
// service's: up to count of them into holders, and how many names of
// other users there are in all into *found. The kernel shows these names
// to every user, so any handle of the service will do.
BOOL QueryServiceNameHolders(SC_HANDLE service, SERVICE_NAME_HOLDER *holders, DWORD count, LPDWORD found);

} // namespace platform
