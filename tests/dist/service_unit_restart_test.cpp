// The shipped systemd unit's restart rule against the agent's real ends:
// the agent is run as the unit runs it, once without its main
// configuration file and once hit by each fault signal, and the exit code
// or signal it ends with is judged as systemd judges it from the unit's
// Restart=, RestartPreventExitStatus=, RestartForceExitStatus= and
// SuccessExitStatus=. A missing kervon.ini fails again on every restart,
// so it must not be restarted; a crash must be.
#include <gtest/gtest.h>

#include <signal.h>
#include <string.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/unit_file.h"

namespace {

using namespace std::chrono_literals;
using osktest::AgentProcess;

// How a process ended, as systemd sees it.
struct Ending {
    bool signaled = false;
    int value = 0; // the exit code, or the signal
};

// The settings of the unit's [Service] section that decide a restart.
struct RestartRule {
    std::string restart = "no";
    std::set<int> prevent_codes, prevent_signals;
    std::set<int> force_codes, force_signals;
    std::set<int> success_codes, success_signals;
    std::vector<std::string> exec_start; // the program and its arguments
};

// A signal's number from its name with or without "SIG"; 0 for none.
int signal_number(const std::string &name) {
    const std::string bare = name.compare(0, 3, "SIG") == 0 ? name.substr(3) : name;
    for (int n = 1; n < NSIG; ++n) {
        const char *abbreviation = ::sigabbrev_np(n);
        if (abbreviation != nullptr && bare == abbreviation)
            return n;
    }
    return 0;
}

// An exit status list: exit codes and signal names; an empty assignment
// empties the list, as in systemd. false on a word that is neither.
bool add_statuses(const std::string &value, std::set<int> &codes, std::set<int> &signals) {
    if (value.empty()) {
        codes.clear();
        signals.clear();
        return true;
    }
    std::istringstream words(value);
    std::string word;
    while (words >> word) {
        if (word.find_first_not_of("0123456789") == std::string::npos && word.size() <= 3) {
            codes.insert(std::stoi(word));
            continue;
        }
        const int number = signal_number(word);
        if (number == 0)
            return false;
        signals.insert(number);
    }
    return true;
}

// The [Service] section's restart settings; a failure names the line.
::testing::AssertionResult read_rule(const std::string &unit, RestartRule &rule) {
    std::vector<osktest::UnitSetting> settings;
    const ::testing::AssertionResult read = osktest::read_unit_section(unit, "[Service]", settings);
    if (!read)
        return read;
    for (const osktest::UnitSetting &setting : settings) {
        const std::string &key = setting.key;
        const std::string &value = setting.value;
        bool ok = true;
        if (key == "Restart") {
            rule.restart = value;
        } else if (key == "RestartPreventExitStatus") {
            ok = add_statuses(value, rule.prevent_codes, rule.prevent_signals);
        } else if (key == "RestartForceExitStatus") {
            ok = add_statuses(value, rule.force_codes, rule.force_signals);
        } else if (key == "SuccessExitStatus") {
            ok = add_statuses(value, rule.success_codes, rule.success_signals);
        } else if (key == "ExecStart") {
            std::istringstream words(value);
            rule.exec_start.clear();
            for (std::string word; words >> word;)
                rule.exec_start.push_back(word);
        }
        if (!ok)
            return ::testing::AssertionFailure() << "unknown exit status in: " << key << "=" << value;
    }
    if (rule.exec_start.empty())
        return ::testing::AssertionFailure() << "no ExecStart=";
    return ::testing::AssertionSuccess();
}

// Whether systemd restarts the service after its main process ended so,
// unasked: the table of Restart= for a clean or unclean exit code or
// signal, with RestartPreventExitStatus= and RestartForceExitStatus= over
// it.
bool restarts(const RestartRule &rule, const Ending &end) {
    const auto listed = [&](const std::set<int> &codes, const std::set<int> &signals) {
        return end.signaled ? signals.count(end.value) != 0 : codes.count(end.value) != 0;
    };
    if (listed(rule.force_codes, rule.force_signals))
        return true;
    if (listed(rule.prevent_codes, rule.prevent_signals))
        return false;
    static const std::set<int> clean_signals = {SIGHUP, SIGINT, SIGTERM, SIGPIPE};
    const bool clean = listed(rule.success_codes, rule.success_signals) ||
                       (end.signaled ? clean_signals.count(end.value) != 0 : end.value == 0);
    if (rule.restart == "always")
        return true;
    if (rule.restart == "on-success")
        return clean;
    if (rule.restart == "on-failure")
        return !clean;
    if (rule.restart == "on-abnormal" || rule.restart == "on-abort")
        return !clean && end.signaled;
    return false; // "no", "on-watchdog"
}

class ServiceUnit : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(read_rule(
            read_file_bytes(std::string(OSK_SOURCE_DIR) + "/dist/oskavelde.service"), rule_));
        ASSERT_EQ(rule_.exec_start[0], "@CMAKE_INSTALL_FULL_BINDIR@/oskavelde");
    }

    // Starts the built agent with the unit's arguments, in a data
    // directory of its own in place of the unit's.
    bool start(AgentProcess &agent) const {
        return agent.start(
            std::vector<std::string>(rule_.exec_start.begin() + 1, rule_.exec_start.end()));
    }

    // The end of an agent; the process helper gives 128 + n for signal n,
    // which none of the agent's own exit codes reaches.
    static Ending ending_of(AgentProcess &agent) {
        const int code = agent.wait_exit(30s);
        return code > 128 ? Ending{true, code - 128} : Ending{false, code};
    }

    RestartRule rule_;
};

TEST_F(ServiceUnit, AnAgentWithoutItsMainConfigurationFileIsNotRestarted) {
    AgentProcess agent; // no kervon.ini in its data directory
    ASSERT_TRUE(start(agent));
    const Ending end = ending_of(agent);
    ASSERT_FALSE(end.signaled);
    ASSERT_NE(end.value, -1) << "the agent did not end";
    ASSERT_NE(agent.err().find("Cannot open initialization file!"), std::string::npos)
        << agent.err();
    EXPECT_FALSE(restarts(rule_, end)) << "exit code " << end.value;
}

class ServiceUnitCrash : public ServiceUnit, public ::testing::WithParamInterface<int> {};

TEST_P(ServiceUnitCrash, AnAgentHitByAFaultSignalIsRestarted) {
    AgentProcess agent;
    agent.write_ini("[System]\n");
    ASSERT_TRUE(start(agent));
    ASSERT_TRUE(agent.wait_until_running(30s)) << agent.out();
    agent.signal(GetParam());
    const Ending end = ending_of(agent);
    ASSERT_NE(end.value, -1) << "the agent did not end";
    EXPECT_TRUE(restarts(rule_, end))
        << (end.signaled ? "signal " : "exit code ") << end.value << "\n"
        << agent.out();
}

INSTANTIATE_TEST_SUITE_P(FaultSignals, ServiceUnitCrash,
                         ::testing::Values(SIGSEGV, SIGILL, SIGFPE, SIGABRT),
                         [](const auto &info) { return std::string(::sigabbrev_np(info.param)); });

} // namespace
