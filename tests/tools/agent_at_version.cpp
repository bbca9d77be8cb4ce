// agent_at_version: the agent's own program as it runs on another Windows
// version, for the tests of what the agent does differently there.
//
// Usage: agent_at_version CODE FORM_FILE [OPTION...]
//
// CODE is the version code that the platform is made to report: 0 (the
// version cannot be read), 1 (Windows 95), 2 (NT 4), 3 (2000), 4 (XP),
// 5 (2003) or 99 (NT 6.2). The agent's process entry then runs with the
// options, under the tool's own path as argument 0, so that the program
// directory is the folder the tool is started from. When the entry
// returns, FORM_FILE receives the form of the control handler that the
// service entry looked up: "older", "extended" or "none". The exit code is
// the entry's, or 2 for a bad command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/crt/start_up.h"
#include "platform/version.h"
#include "runtime/process_entry.h"
#include "service/service_main.h"

namespace {

bool reported_version_of(const char *code, platform::ReportedVersion &version) {
    struct Known {
        const char *code;
        platform::DWORD platform_id;
        platform::DWORD major;
        platform::DWORD minor;
    };
    static const Known known[] = {
        {"1", platform::VER_PLATFORM_WIN32_WINDOWS, 4, 10},
        {"2", platform::VER_PLATFORM_WIN32_NT, 4, 0},
        {"3", platform::VER_PLATFORM_WIN32_NT, 5, 0},
        {"4", platform::VER_PLATFORM_WIN32_NT, 5, 1},
        {"5", platform::VER_PLATFORM_WIN32_NT, 5, 2},
        {"99", platform::VER_PLATFORM_WIN32_NT, 6, 2},
    };
    version = platform::ReportedVersion{};
    if (std::strcmp(code, "0") == 0) {
        version.basic_ok = false;
        return true;
    }
    for (const Known &k : known)
        if (std::strcmp(code, k.code) == 0) {
            version.platform_id = k.platform_id;
            version.major = k.major;
            version.minor = k.minor;
            return true;
        }
    return false;
}

const char *handler_form() {
    if (lpfnRegisterServiceCtrlHandler != nullptr && lpfnRegisterServiceCtrlHandlerEx == nullptr)
        return "older";
    if (lpfnRegisterServiceCtrlHandlerEx != nullptr && lpfnRegisterServiceCtrlHandler == nullptr)
        return "extended";
    return lpfnRegisterServiceCtrlHandler == nullptr ? "none" : "both";
}

} // namespace

int main(int argc, char **argv) {
    platform::ReportedVersion version;
    if (argc < 3 || !reported_version_of(argv[1], version))
        return 2;
    platform::set_reported_version(version);

    // The agent's command line: the tool's path and the options.
    static std::vector<char *> agent_argv;
    agent_argv.push_back(argv[0]);
    for (int n = 3; n < argc; ++n)
        agent_argv.push_back(argv[n]);
    agent_argv.push_back(nullptr);
    const int result =
        platform::StartUp(static_cast<int>(agent_argv.size()) - 1, agent_argv.data(), WinMain);

    std::FILE *form = std::fopen(argv[2], "w");
    if (form == nullptr)
        return 2;
    std::fprintf(form, "%s\n", handler_form());
    std::fclose(form);
    return result;
}
