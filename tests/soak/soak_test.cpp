// The soak: the real agent polls 32 UPS slots for OSK_SOAK_SECONDS (120 by
// default, 60 at the least: a shorter run is refused), each slot behind a
// fault-injecting relay of its own in front of an snmpsimd: one for each
// commanded slot, one for the rest. Most slots
// answer, some never do, some go silent and come back. A client sends
// every request type, malformed datagrams among them, at 20 a second;
// shutdown, reboot and cancel requests go to answering slots with a write
// community of their own, some of them while the SET of the one before is
// still waiting for its answer. Over the whole run the agent must not crash
// or draw a sanitizer report, its resident memory must stay flat after the
// warm-up, every queued command must reach its simulator exactly once, no
// datagram may pass the receive gate of a slot whose communication flag is
// 0, and a SIGINT at the end must stop it cleanly.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "server/protocol.h"
#include "tests/soak/console_follower.h"
#include "tests/support/agent_process.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/protocol_client.h"
#include "client/protocol_decode.h"
#include "tests/support/relay_farm.h"
#include "tests/support/snmpsim_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSlots = 32;
constexpr std::uint16_t kUnknownDevice = 999;
constexpr const char *kShutdownAfterDelay = "1.3.6.1.2.1.33.1.8.2.0";
constexpr const char *kRebootWithDuration = "1.3.6.1.2.1.33.1.8.4.0";
constexpr std::uint16_t kNoReboot = 0xFFFF;
constexpr std::uint16_t kCancel = 6;

// What each slot's relay does.
enum class Role { Answering, Dead, Flapping, Commanded, CommandedInFlight };

Role role_of(int slot) {
    switch (slot) {
    case 5:
    case 18:
        return Role::Dead;
    case 9:
    case 25:
        return Role::Flapping;
    case 12:
    case 20:
    case 28:
        return Role::Commanded;
    case 15:
    case 23:
    case 31:
        return Role::CommandedInFlight;
    default:
        return Role::Answering;
    }
}

bool commanded(Role role) { return role == Role::Commanded || role == Role::CommandedInFlight; }

std::uint16_t device_of(int slot) { return static_cast<std::uint16_t>(100 + slot); }

std::string community_of(int slot) {
    return commanded(role_of(slot)) ? "soakcmd" + std::to_string(slot) : "online";
}

// A round over the 32 slots takes about 25 s, the dead and silent ones
// waiting out their time-outs. The warm-up, two fifths of the run, must
// hold a whole round before memory is measured, and every commanded slot
// must answer a poll before the end to be sent a command: so the soak
// runs at least this long.
constexpr long kMinimumSeconds = 60;
constexpr long kDefaultSeconds = 120;
constexpr long kMaximumSeconds = 24 * 3600;

// OSK_SOAK_SECONDS, kDefaultSeconds when it is unset or empty; 0 when it
// is not a whole number of seconds from kMinimumSeconds to
// kMaximumSeconds.
long soak_seconds() {
    const char *given = std::getenv("OSK_SOAK_SECONDS");
    if (given == nullptr || *given == '\0')
        return kDefaultSeconds;
    long seconds = 0;
    for (const char *p = given; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9' || seconds > kMaximumSeconds)
            return 0;
        seconds = seconds * 10 + (*p - '0');
    }
    return seconds >= kMinimumSeconds && seconds <= kMaximumSeconds ? seconds : 0;
}

long resident_kb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Whether the process has ended (it is left unreaped for its exit code).
bool ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() || text[close + 2] == 'Z';
}

// The client's datagrams other than the commands, one drawn per send.
struct Mix {
    const char *name;
    std::string (*make)(std::mt19937 &random);
};

std::uint16_t any_device(std::mt19937 &random) {
    return device_of(static_cast<int>(random() % kSlots));
}

std::uint16_t a_commanded_device(std::mt19937 &random) {
    for (;;) {
        const int slot = static_cast<int>(random() % kSlots);
        if (commanded(role_of(slot)))
            return device_of(slot);
    }
}

const Mix kMix[] = {
    {"identification", [](std::mt19937 &r) { return request_datagram(GET_IDENTIF, any_device(r)); }},
    {"status", [](std::mt19937 &r) { return request_datagram(GET_STATUS, any_device(r)); }},
    {"device data", [](std::mt19937 &r) { return request_datagram(GET_DEVDATA, any_device(r)); }},
    {"status again", [](std::mt19937 &r) { return request_datagram(GET_STATUS, any_device(r)); }},
    {"browse", [](std::mt19937 &) { return request_datagram(GET_BROWSEDATA, ALL_DEVICES); }},
    {"unknown request type", [](std::mt19937 &r) { return request_datagram(77, any_device(r)); }},
    {"unknown device", [](std::mt19937 &) { return request_datagram(GET_STATUS, kUnknownDevice); }},
    {"status of all devices", [](std::mt19937 &) { return request_datagram(GET_STATUS, ALL_DEVICES); }},
    {"a response, not a request",
     [](std::mt19937 &r) { return request_datagram(GET_STATUS, any_device(r), "", 1); }},
    {"shorter than a header", [](std::mt19937 &) { return std::string("\x03\x00\x65", 3); }},
    {"size field that lies",
     [](std::mt19937 &r) {
         std::string d = request_datagram(GET_DEVDATA, any_device(r));
         d[8] = d[9] = d[10] = d[11] = '\xFF';
         return d;
     }},
    {"longer than the agent takes",
     [](std::mt19937 &r) {
         return request_datagram(GET_IDENTIF, any_device(r), std::string(max_datagram + 500, 'x'));
     }},
    // A command number other than cancel is refused: nothing is queued,
    // which the read-back of the commanded simulators would show.
    {"command other than cancel",
     [](std::mt19937 &r) {
         return request_datagram(SET_UPSCOMMAND, a_commanded_device(r), payload_words(7, 30));
     }},
    {"noise",
     [](std::mt19937 &r) {
         std::string d(1 + r() % 40, '\0');
         for (char &c : d)
             c = static_cast<char>(r());
         // Never a command type, so that noise queues nothing.
         if (d.size() >= 2 && (d[0] == SET_UPSSHUTDOWN || d[0] == SET_UPSCOMMAND))
             d[0] = 2;
         return d;
     }},
};

// The receive gate against the communication flags as the console shows
// them. The poller writes its "Comm ... recognized" line just before it
// sets the flag, and the gate reads the flag just before its lookup line;
// so a lookup of a slot that the log shows with flag 0 is a fault only
// once the poller has moved on past that point (its next poll line), which
// leaves out a lookup that read the flag the moment before it fell.
class GateWatch {
  public:
    GateWatch() { std::fill(std::begin(settled_), std::end(settled_), true); }
    void take(const osktest::ConsoleEvent &event) {
        const int slot = event.slot;
        switch (event.kind) {
        case osktest::ConsoleEvent::PollStart:
        case osktest::ConsoleEvent::PollAnswered:
            for (int s = 0; s < kSlots; ++s)
                if (!flag_[s])
                    settled_[s] = true;
            break;
        case osktest::ConsoleEvent::CommLost:
            if (in_range(slot)) {
                flag_[slot] = false;
                settled_[slot] = false;
            }
            break;
        case osktest::ConsoleEvent::CommEstablished:
            if (in_range(slot))
                flag_[slot] = true;
            break;
        case osktest::ConsoleEvent::GateLookup:
            break;
        case osktest::ConsoleEvent::GatePassed:
            if (!in_range(slot))
                break; // a request for all devices passes by design
            if (flag_[slot])
                ++passed_answering_;
            else if (settled_[slot])
                ADD_FAILURE() << "slot " << slot << " passed the receive gate with flag 0: " << event.line;
            break;
        }
    }
    bool flag(int slot) const { return flag_[slot]; }
    int passed_answering() const { return passed_answering_; }

  private:
    static bool in_range(int slot) { return slot >= 0 && slot < kSlots; }
    // Every flag is 0 from the start until the first answered poll.
    bool flag_[kSlots] = {};
    bool settled_[kSlots] = {};
    int passed_answering_ = 0;
};

// The commands of one slot and the simulator's two upsControl objects that
// they write. After each poll both objects are read back: an object a
// command was sent for must hold its value, and is then overwritten with a
// marker that must still be there after the next poll, which a second
// write of the command would have replaced. The relay counts the requests
// of each poll, which shows a SET sent twice within one poll.
class CommandedSlot {
  public:
    CommandedSlot(int slot, bool in_flight, osktest::UdpRelay &relay, const char *simulator)
        : slot_(slot), in_flight_(in_flight), relay_(relay), simulator_(simulator),
          community_(community_of(slot)) {}

    // Starting values of both objects, before the agent runs.
    bool write_markers() {
        for (int object = 0; object < 2; ++object)
            if (!write_marker(object))
                return false;
        return true;
    }

    // The slot's poll has ended with an answer.
    void poll_answered(bool more_commands, ProtocolClient &client, std::uint16_t port) {
        ++polls_;
        const int requests = relay_.requests();
        const int made = requests - requests_at_last_poll_;
        requests_at_last_poll_ = requests;
        if (polls_ == 1)
            poll_requests_ = made; // nothing queued yet: the poll alone
        else
            EXPECT_EQ(made, poll_requests_ + sets_this_poll_)
                << "slot " << slot_ << " poll " << polls_ << ": requests to the UPS, with "
                << sets_this_poll_ << " for the SET";
        sets_this_poll_ = 0;
        watch_for_set_ = false;

        bool marked[2] = {};
        for (int object = 0; object < 2; ++object) {
            const std::string value = osktest::read_simulator_value(simulator_, community_.c_str(), oid(object));
            EXPECT_EQ(value, std::to_string(expected_[object]))
                << "slot " << slot_ << " poll " << polls_ << ", " << oid(object) << ": " << what_[object];
            if (is_command_[object]) {
                EXPECT_TRUE(write_marker(object)) << "slot " << slot_;
                marked[object] = true;
                ++carried_;
            }
        }
        if (queued_during_set_ >= 0) {
            // Taken by the network thread while the SET before was under
            // way: it is this poll's SET.
            const int object = queued_during_set_;
            expected_[object] = queued_value_;
            is_command_[object] = true;
            what_[object] = queued_what_;
            queued_during_set_ = -1;
            sets_this_poll_ = 1;
            return;
        }
        if (!more_commands) {
            // Done once the last marker has stood through a poll.
            finished_ = !marked[0] && !marked[1];
            return;
        }
        // A marker just written must stand through the next poll, so the
        // next command goes to the other object.
        const int object = marked[0] ? 1 : marked[1] ? 0 : 1 - last_object_;
        send_command(object, client, port);
        last_object_ = object;
        sets_this_poll_ = 1;
        if (in_flight_) {
            // The SET's first answer is lost, so the agent waits its
            // time-out for it and sends it again: the next command arrives
            // in that second.
            relay_.drop_answer(poll_requests_ + 1);
            watch_for_set_ = true;
            set_request_ = requests_at_last_poll_ + poll_requests_ + 1;
            sets_this_poll_ = 2;
        }
    }

    // Called often: sends the command that arrives during the SET once the
    // SET has reached the relay.
    void watch(ProtocolClient &client, std::uint16_t port) {
        if (!watch_for_set_ || relay_.requests() < set_request_)
            return;
        watch_for_set_ = false;
        const int object = 1 - last_object_;
        const long before = expected_[object];
        const std::string before_what = what_[object];
        send_command(object, client, port);
        queued_during_set_ = object;
        queued_value_ = expected_[object];
        queued_what_ = what_[object] + ", sent while the SET before it waited for its answer";
        // Not this poll's: the SET under way was taken before it arrived.
        expected_[object] = before;
        is_command_[object] = false;
        what_[object] = before_what + " (a command queued during the SET is not written by it)";
    }

    bool finished() const { return finished_; }
    int carried() const { return carried_; }
    int slot() const { return slot_; }

  private:
    static const char *oid(int object) { return object == 0 ? kShutdownAfterDelay : kRebootWithDuration; }

    bool write_marker(int object) {
        const long marker = 30000 + slot_ * 100 + (sequence_++ % 100);
        expected_[object] = marker;
        is_command_[object] = false;
        what_[object] = "marker " + std::to_string(marker) + " written after a command must survive the next poll";
        return osktest::write_simulator_value(simulator_, community_.c_str(), oid(object), marker);
    }

    // Object 0 takes a shutdown after a delay; object 1 a shutdown with
    // reboot or, every other time, the cancel command.
    void send_command(int object, ProtocolClient &client, std::uint16_t port) {
        const int n = sequence_++;
        const std::uint16_t device = device_of(slot_);
        if (object == 0) {
            const std::uint16_t delay = static_cast<std::uint16_t>(100 + n);
            client.send(port, request_datagram(SET_UPSSHUTDOWN, device, payload_words(delay, kNoReboot)));
            expected_[0] = delay;
            what_[0] = "shutdown after " + std::to_string(delay) + " s";
        } else if (n % 4 < 2) {
            const std::uint16_t reboot = static_cast<std::uint16_t>(10 + n);
            client.send(port, request_datagram(SET_UPSSHUTDOWN, device, payload_words(60, reboot)));
            expected_[1] = reboot;
            what_[1] = "shutdown with reboot after " + std::to_string(reboot) + " min";
        } else {
            client.send(port, request_datagram(SET_UPSCOMMAND, device, payload_words(kCancel, 0)));
            expected_[1] = -1;
            what_[1] = "cancel";
        }
        is_command_[object] = true;
    }

    int slot_;
    bool in_flight_;
    osktest::UdpRelay &relay_;
    const char *simulator_;
    std::string community_;
    int polls_ = 0;
    int requests_at_last_poll_ = 0;
    int poll_requests_ = 0;
    int sets_this_poll_ = 0;
    long expected_[2] = {};
    bool is_command_[2] = {};
    std::string what_[2];
    int last_object_ = 1;
    int sequence_ = 0;
    bool watch_for_set_ = false;
    int set_request_ = 0;
    int queued_during_set_ = -1;
    long queued_value_ = 0;
    std::string queued_what_;
    int carried_ = 0;
    bool finished_ = false;
};

// A simulator of its own address serving one data file under one community.
struct Simulated {
    ScratchDir data;
    osktest::LoopbackLease lease;
    osktest::SnmpSimulator simulator;
};

bool start_simulator(const std::string &data_file, const std::string &community,
                     std::vector<std::unique_ptr<Simulated>> &simulators, std::string &error) {
    auto s = std::make_unique<Simulated>();
    std::filesystem::copy_file(data_file, s->data.file(community + ".snmprec"));
    if (!s->lease.acquire(161, error) || !s->simulator.start(s->lease.address(), s->data.path(), error))
        return false;
    simulators.push_back(std::move(s));
    return true;
}

TEST(Soak, TheAgentHoldsUpUnderClientLoadAndUpsFaults) {
    const long seconds = soak_seconds();
    if (seconds == 0)
        FAIL() << "OSK_SOAK_SECONDS=" << std::getenv("OSK_SOAK_SECONDS") << " is refused: the soak runs from "
               << kMinimumSeconds << " to " << kMaximumSeconds << " whole seconds (a round of its 32 slots takes about 25 s)";
    const auto length = std::chrono::seconds(seconds);
    // Commands still under way when the time is up get up to two sweeps
    // over the slots to finish.
    const auto finish_limit = 150s;

    // snmpsimd keeps a value written to a writable object under the object
    // alone, whichever data file it was written through, so every commanded
    // slot gets a simulator of its own; one more serves the other slots.
    const std::string source = osktest::snmpsim_data_dir();
    std::vector<std::unique_ptr<Simulated>> simulators;
    std::vector<std::string> targets(kSlots);
    std::string error;
    ASSERT_TRUE(start_simulator(source + "/online.snmprec", "online", simulators, error)) << error;
    const std::string shared_address = simulators.back()->lease.address();
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!commanded(role_of(slot))) {
            targets[slot] = shared_address;
            continue;
        }
        ASSERT_TRUE(start_simulator(source + "/writable.snmprec", community_of(slot), simulators, error)) << error;
        targets[slot] = simulators.back()->lease.address();
    }

    osktest::RelayFarm relays;
    ASSERT_TRUE(relays.start(targets, std::chrono::duration_cast<std::chrono::seconds>(length + finish_limit + 120s),
                             error))
        << error;
    std::vector<CommandedSlot> commands;
    std::vector<int> flapping;
    for (int slot = 0; slot < kSlots; ++slot) {
        const Role role = role_of(slot);
        if (role == Role::Dead)
            relays.relay(slot).stop_answering_after(0);
        if (role == Role::Flapping)
            flapping.push_back(slot);
        if (commanded(role)) {
            commands.emplace_back(slot, role == Role::CommandedInFlight, relays.relay(slot), targets[slot].c_str());
            ASSERT_TRUE(commands.back().write_markers()) << "slot " << slot;
        }
    }

    const std::uint16_t port = osktest::free_udp_port();
    ASSERT_NE(port, 0);
    std::string ini = "[System]\r\nName=soak\r\n[Network]\r\nPort=" + std::to_string(port + 4) + "\r\n";
    for (int slot = 0; slot < kSlots; ++slot)
        ini += osktest::ups_section({slot, "Soak " + std::to_string(slot), "BRAXO1-VEGA3000", 5,
                                     relays.address(static_cast<std::size_t>(slot)), community_of(slot),
                                     device_of(slot)});
    osktest::AgentProcess agent;
    agent.write_ini(ini);
    // The quarantine of freed memory is capped so that a full quarantine
    // does not pass for growth.
    const char *asan = std::getenv("ASAN_OPTIONS");
    agent.set_environment("ASAN_OPTIONS", (asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : std::string()) +
                                              "quarantine_size_mb=16");
    ASSERT_TRUE(agent.start({"-debug"}));
    ASSERT_TRUE(agent.wait_until_running(60s)) << agent.out() << agent.err();

    osktest::ConsoleFollower console(agent.dir().file("stdout.txt"));
    GateWatch gate;
    ProtocolClient client;
    std::mt19937 random(20261210);
    int answers_from_answering = 0;

    const auto start = Clock::now();
    const auto soak_end = start + length;
    const auto warm_up_end = start + length * 2 / 5;
    auto next_send = start;
    auto next_flap = start + 12s;
    auto next_sample = start;
    bool silent = false;
    long rss_after_warm_up = -1;
    long rss_peak = -1;
    char buffer[4096];

    for (;;) {
        const auto now = Clock::now();
        bool all_finished = true;
        for (const CommandedSlot &c : commands)
            all_finished = all_finished && c.finished();
        if (now >= soak_end && all_finished)
            break;
        if (now >= soak_end + finish_limit) {
            for (const CommandedSlot &c : commands)
                EXPECT_TRUE(c.finished()) << "slot " << c.slot() << ": queued commands not carried out in time";
            break;
        }
        if (ended(agent.pid())) {
            ADD_FAILURE() << "the agent ended during the soak\n" << agent.err();
            break;
        }

        for (const osktest::ConsoleEvent &event : console.next()) {
            gate.take(event);
            if (event.kind != osktest::ConsoleEvent::PollAnswered)
                continue;
            for (CommandedSlot &c : commands)
                if (c.slot() == event.slot)
                    c.poll_answered(Clock::now() < soak_end, client, port);
        }
        for (CommandedSlot &c : commands)
            c.watch(client, port);

        if (now >= next_flap) {
            silent = !silent;
            for (int slot : flapping) {
                if (silent)
                    relays.relay(slot).stop_answering_after(0);
                else
                    relays.relay(slot).resume();
            }
            next_flap += 12s;
        }
        if (now >= next_send) {
            const Mix &pick = kMix[random() % std::size(kMix)];
            client.send(port, pick.make(random));
            next_send += 50ms;
        }
        for (int length_got; (length_got = platform::recvfrom(client.socket(), buffer, sizeof buffer, 0, nullptr,
                                                              nullptr)) > 0;) {
            protocol_decode::Header header;
            if (!protocol_decode::decode_header(reinterpret_cast<const std::uint8_t *>(buffer),
                                                static_cast<std::size_t>(length_got), &header))
                continue;
            const int slot = header.Dev - 100;
            if (slot < 0 || slot >= kSlots)
                continue;
            EXPECT_NE(role_of(slot), Role::Dead) << "an answer for slot " << slot << ", which never answered a poll";
            if (role_of(slot) == Role::Answering)
                ++answers_from_answering;
        }
        if (now >= next_sample) {
            const long rss = resident_kb(agent.pid());
            if (now >= warm_up_end) {
                if (rss_after_warm_up < 0)
                    rss_after_warm_up = rss;
                rss_peak = std::max(rss_peak, rss);
            }
            next_sample += 1s;
        }
        std::this_thread::sleep_for(5ms);
    }

    const auto stop_sent = Clock::now();
    agent.signal(SIGINT);
    EXPECT_EQ(agent.wait_exit(20s), 0) << agent.err();
    const auto stop_time = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stop_sent);

    const std::string err = agent.err();
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
    EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
    for (const osktest::ConsoleEvent &event : console.next())
        gate.take(event);

    EXPECT_GT(rss_after_warm_up, 0);
    EXPECT_LE(rss_peak - rss_after_warm_up, 1024)
        << "resident memory " << rss_after_warm_up << " kB after the warm-up, up to " << rss_peak << " kB later";
    for (const CommandedSlot &c : commands)
        EXPECT_GT(c.carried(), 0) << "slot " << c.slot() << " carried out no command";
    EXPECT_GT(gate.passed_answering(), 0);
    EXPECT_GT(answers_from_answering, 0);
    std::printf("soak: %lld s, resident %ld kB after the warm-up, peak %ld kB; stop took %lld ms\n",
                static_cast<long long>(length.count()), rss_after_warm_up, rss_peak,
                static_cast<long long>(stop_time.count()));
    for (const CommandedSlot &c : commands)
        std::printf("soak: slot %d carried out %d commands\n", c.slot(), c.carried());
}

} // namespace
