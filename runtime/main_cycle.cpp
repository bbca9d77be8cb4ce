// StartServiceA and the directories it fixes before anything else runs.
#include "runtime/main_cycle.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/ini_load.h"
#include "platform/console.h"
#include "platform/console_control.h"
#include "platform/crt/runtime_signal.h"
#include "platform/crt/start_up.h"
#include "platform/crt/text_file.h"
#include "platform/environment.h"
#include "platform/message_queue.h"
#include "platform/process.h"
#include "platform/thread.h"
#include "runtime/message_box.h"
#include "runtime/process_entry.h"
#include "runtime/stop_handlers.h"
#include "runtime/terminal_services.h"
#include "runtime/worker_threads.h"
#include "service/service_commands.h"
#include "shared/debug_log.h"
#include "shared/directories.h"
#include "shared/ini_record.h"
#include "shared/log_text.h"

platform::DWORD MainId = 0;
std::atomic<std::int32_t> was_term_signal{0};

namespace {

constexpr std::size_t kDirMax = sizeof ProgramDir - 1; // 255 characters
constexpr char kKervon[] = "/Kervon/";

// Signals that Catcher takes on the main-cycle thread: interrupt, illegal
// instruction, floating-point error, segment violation, termination and
// abort.
constexpr int kCaughtSignals[] = {SIGINT, SIGILL, SIGFPE, SIGSEGV, SIGTERM, SIGABRT};

// The settled message names neither the file nor the reason, and a wrong
// ALLUSERSPROFILE is the most common mistake: one line more, on standard
// error and in the debug log (when file output is on), gives the path that
// was tried and the system's reason. The path comes from the environment
// and is shown as the logs show outside text, so the line stays one line.
void report_unopened_kervon(int reason) {
    char path[256];
    char line[1280];
    if (!KervonINIPath(path)) {
        std::snprintf(line, sizeof line,
                      "Cannot open kervon.ini: its path in the data directory would be longer "
                      "than 255 characters");
    } else {
        char shown[sizeof path * 4];
        std::snprintf(line, sizeof line, "Cannot open %s: %s",
                      log_visible_text(shown, sizeof shown, path),
                      platform::open_failure_text(reason));
    }
    char error_line[sizeof line + 1];
    std::snprintf(error_line, sizeof error_line, "%s\n", line);
    std::fputs(error_line, stderr);
    char log_line[sizeof line + 1];
    std::snprintf(log_line, sizeof log_line, "\n%s", line);
    printfc(log_line);
}

// In a service run the stop request reaches this very service, whose
// handler runs the stop routine and reports it stopped before the request
// returns.
void load_failed(int reason) {
    MessageBoxWin("Cannot open initialization file!", "Error", 16);
    report_unopened_kervon(reason);
    FreeLibraryWts();
    CmdStopService();
    std::exit(2);
}

void apply_configured_switches() {
    if (INI.System.DebugLog != 0) {
        bDebug = 1;
        bDebugLog = 1;
        k_monitor = INI.System.DebugMode;
    }
    if (bDebug != 0 && k_monitor <= 2) {
        k_monitor = 3;
        k_monitor1 = 2;
        k_errorlog = 1;
    }
}

void message_loop() {
    platform::MSG msg{};
    while (platform::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        platform::TranslateMessage(&msg);
        platform::DispatchMessageA(&msg);
    }
    was_term_signal = 1;
    printfc("\nWas_term_signal !");
}

} // namespace

void SetProgramDir(const char *program_path) {
    ProgramDir[0] = '\0';
    if (program_path == nullptr)
        return;
    const char *slash = std::strrchr(program_path, '/');
    if (slash == nullptr)
        return;
    const std::size_t length = static_cast<std::size_t>(slash - program_path) + 1;
    if (length > kDirMax)
        return; // never cut: a shortened path names another directory
    std::memcpy(ProgramDir, program_path, length);
    ProgramDir[length] = '\0';
}

void SetAllUserDir() {
    char value[sizeof AllUserDir] = {};
    // 0 for a variable that is missing or empty; the size a value needs
    // when it does not fit the buffer, which is then left unread.
    const platform::DWORD length = platform::GetEnvironmentVariableA("allusersprofile", value, sizeof value);
    const std::size_t suffix = sizeof kKervon - 1;
    if (length >= sizeof value || length + suffix > kDirMax) {
        // The directory that the variable names does not fit the field, and
        // any shorter text (the value cut, or "/Kervon/" at the root) would
        // name another one. Filled with 255 characters, the field leaves no
        // room for a file name: every path in it is refused, so nothing is
        // read or written anywhere and the start ends as without the main
        // file.
        std::memset(AllUserDir, '*', sizeof AllUserDir - 1);
        AllUserDir[sizeof AllUserDir - 1] = '\0';
        return;
    }
    std::memcpy(AllUserDir, value, length);
    std::memcpy(AllUserDir + length, kKervon, sizeof kKervon);
}

void StartServiceA() {
    SetProgramDir(platform::Argument(0));
    SetAllUserDir();
    if (LoadINI() != 0)
        load_failed(errno);

    if (bDebug != 0 && start_app != 0)
        platform::AllocConsole();
    if (bDebug != 0)
        printfc("\nStart Service\n");
    apply_configured_switches();

    for (int signal_number : kCaughtSignals)
        platform::signal(signal_number, Catcher);
    MainId = platform::GetCurrentThreadId();
    StartThreads();
    platform::SetPriorityClass(platform::GetCurrentProcess(), platform::NORMAL_PRIORITY_CLASS);
    if (!platform::SetConsoleCtrlHandler(ControlHandler, platform::TRUE))
        printfc("\n\rSetConsoleCtrlHandler error");
    if (bDebug == 0)
        platform::FreeConsole();

    message_loop();
    printfc("\nStopped main cycle !");
}
