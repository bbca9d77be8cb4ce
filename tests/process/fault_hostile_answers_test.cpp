// A UPS address answered by a broken or hostile SNMP agent: answers for
// other objects, with two bindings or none, or one request behind, store
// nothing and give each row its error line, while the rows answered right
// are stored; answers without a value, and answers from another address
// or port, keep the UPS from communicating; one object answered without a
// value keeps its last value; control bytes of its texts
// are escaped in the log and kept in the record; each run of the agent
// starts its request ids afresh; and a flood of junk answers holds no
// request, and so no stop, past its time-out.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "poller/ups_mib.h"
#include "server/protocol.h"
#include "shared/device_record.h"
#include "tests/support/agent_with_ups.h"
#include "tests/support/debug_lines.h"
#include "tests/support/rogue_agent.h"

namespace {

using namespace std::chrono_literals;
using osktest::debug_lines;
using osktest::lines_with;
using osktest::occurrences;
using osktest::RogueAnswer;
using osktest::RogueRequest;
using osktest::word_at;

constexpr std::uint16_t kDevice = 35;
constexpr const char *kSysUpTime = "1.3.6.1.2.1.1.3.0";
constexpr const char *kMismatch =
    "SNMP++ Get Error, SNMP++: Answer does not match the request's bindings (4294967273)";

// The agent polling one UPS whose address the rogue serves, and the
// client's side of the protocol.
class HostileUps : public ::testing::Test {
  protected:
    void SetUp() override {
        client_port_ = osktest::free_udp_port();
        ASSERT_NE(client_port_, 0);
    }

    void start_rogue(osktest::RogueResponder responder) {
        std::string error;
        ASSERT_TRUE(rogue_.start(std::move(responder), error)) << error;
    }

    // Starts the agent with the trace of every answer taken, and waits
    // for the end of its first poll.
    void start_agent_and_poll() {
        agent_.write_ini("[System]\r\nName=test\r\n[Network]\r\nPort=" +
                         std::to_string(client_port_ + 4) + "\r\n" +
                         osktest::ups_section({1, "UPS hall", "BRAXO1-VEGA3000", 5,
                                               rogue_.address(), "public", kDevice}));
        ASSERT_TRUE(agent_.start({"-debugmax"}));
        ASSERT_TRUE(osktest::wait_until(
            [&] {
                const std::string out = agent_.out();
                return occurrences(out, "Comm established recognized") +
                           occurrences(out, "Comm lost recognized") >=
                       1;
            },
            60s, 50ms))
            << agent_.out() << agent_.err();
    }

    // The device data block, when the agent answers for the device.
    std::vector<std::string> device_data() {
        client_.send(client_port_, request_datagram(GET_DEVDATA, kDevice));
        std::vector<std::string> data;
        for (const std::string &answer : client_.receive_all(1500))
            data.push_back(answer.substr(datanet_size));
        return data;
    }

    // The answers to a GET_STATUS for the device: none while it does not
    // communicate.
    std::vector<std::string> status() {
        client_.send(client_port_, request_datagram(GET_STATUS, kDevice));
        return client_.receive_all(1500);
    }

    void stop_agent() {
        agent_.signal(SIGINT);
        EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();
    }

    osktest::RogueAgent rogue_;
    osktest::AgentProcess agent_;
    ProtocolClient client_;
    std::uint16_t client_port_ = 0;
};

// ---- answers that do not fit --------------------------------------------

std::vector<RogueAnswer> other_object(const RogueRequest &) {
    return {{0, 0, {osktest::rogue_timeticks(kSysUpTime, 12345)}}};
}
std::vector<RogueAnswer> two_bindings(const RogueRequest &r) {
    return {{0,
             0,
             {osktest::rogue_integer(r.oids.at(0), 12345),
              osktest::rogue_timeticks(kSysUpTime, 12345)}}};
}
std::vector<RogueAnswer> no_binding(const RogueRequest &) { return {{0, 0, {}}}; }

// Each request answered with the binding the request before it asked for.
osktest::RogueResponder one_behind() {
    return [previous = std::string(kSysUpTime)](const RogueRequest &r) mutable {
        std::vector<RogueAnswer> answers{{0, 0, {osktest::rogue_integer(previous, 12345)}}};
        previous = r.oids.at(0);
        return answers;
    };
}

struct WrongCase {
    const char *name;
    osktest::RogueResponder (*responder)();
};

void PrintTo(const WrongCase &c, std::ostream *os) { *os << c.name; }

class WrongAnswers : public HostileUps, public ::testing::WithParamInterface<WrongCase> {};

// Whatever the poll makes of a UPS that brought no value, no row of it
// holds one: every row has its error line, no answer is traced as taken,
// and the device data, if a client gets it, holds nothing of the answers.
TEST_P(WrongAnswers, NoRowStoresAValue) {
    start_rogue(GetParam().responder());
    start_agent_and_poll();
    const std::string out = agent_.out();
    const auto lines = debug_lines(out);
    for (int row = 0; row < oid_request_rows; ++row) {
        const std::string line = std::string(rogue_.address()) +
                                 " OidRequest = " + std::to_string(row) +
                                 " Oid = " + OidRequest[row] + " " + kMismatch;
        EXPECT_EQ(lines_with(lines, line), 1u) << line << "\n" << out;
    }
    EXPECT_EQ(out.find("Value = "), std::string::npos) << out;
    EXPECT_EQ(out.find("12345"), std::string::npos) << out;
    EXPECT_EQ(lines_with(lines, "AlarmPresent="), 0u) << out;
    for (const std::string &data : device_data()) {
        ASSERT_EQ(data.size(), device_data_size);
        EXPECT_EQ(osktest::text_at(data, offsetof(TDevice, UpsModel), 16), "");
        EXPECT_EQ(word_at(data, offsetof(TDevice, ChargeRemaining)), 0u);
        EXPECT_EQ(word_at(data, offsetof(TDevice, BatteryVoltage)), 0u);
        EXPECT_EQ(word_at(data, offsetof(TDevice, InputVoltage)), 0u);
    }
    stop_agent();
}

INSTANTIATE_TEST_SUITE_P(
    Agents, WrongAnswers,
    ::testing::Values(
        WrongCase{"other_object", [] { return osktest::RogueResponder(other_object); }},
        WrongCase{"two_bindings", [] { return osktest::RogueResponder(two_bindings); }},
        WrongCase{"no_binding", [] { return osktest::RogueResponder(no_binding); }},
        WrongCase{"one_behind", one_behind}),
    [](const ::testing::TestParamInfo<WrongCase> &info) { return std::string(info.param.name); });

// A UPS that answers every row right but two: those two keep what they
// held, their neighbours are stored, and the poll is an answered one.
TEST_F(HostileUps, RowsAnsweredRightAreStoredAndTheOthersKeepTheirValue) {
    const std::string charge = OidRequest[row_estimated_charge_remaining];
    const std::string input_line_1 = OidRequest[row_input_voltage_1];
    start_rogue([&](const RogueRequest &r) -> std::vector<RogueAnswer> {
        const std::string &asked = r.oids.at(0);
        if (asked == charge)
            return other_object(r);
        if (asked == input_line_1)
            return two_bindings(r);
        if (asked == OidRequest[row_alarms_present])
            return {{0, 0, {osktest::rogue_integer(asked, 0)}}};
        if (asked == OidRequest[row_ident_model])
            return {{0, 0, {osktest::rogue_text(asked, "Vega 3000 RT")}}};
        return {{0, 0, {osktest::rogue_integer(asked, 42)}}};
    });
    start_agent_and_poll();
    const std::string out = agent_.out();
    const auto lines = debug_lines(out);
    EXPECT_EQ(lines_with(lines, "SNMP++ Get Error"), 2u) << out;
    EXPECT_EQ(lines_with(lines, std::string(rogue_.address()) + " OidRequest = 9 Oid = " + charge +
                                    " " + kMismatch),
              1u)
        << out;
    EXPECT_EQ(lines_with(lines, std::string(rogue_.address()) +
                                    " OidRequest = 15 Oid = " + input_line_1 + " " + kMismatch),
              1u)
        << out;
    EXPECT_EQ(lines_with(lines, "Comm established recognized"), 1u) << out;
    EXPECT_EQ(out.find("12345"), std::string::npos) << out;

    const std::vector<std::string> answers = device_data();
    ASSERT_EQ(answers.size(), 1u) << out;
    const std::string &data = answers[0];
    ASSERT_EQ(data.size(), device_data_size);
    EXPECT_EQ(osktest::text_at(data, offsetof(TDevice, UpsModel), 16), "Vega 3000 RT");
    EXPECT_EQ(word_at(data, offsetof(TDevice, ChargeRemaining)), 0u);
    EXPECT_EQ(word_at(data, offsetof(TDevice, BatteryVoltage)), 42u);
    EXPECT_EQ(word_at(data, offsetof(TDevice, InputVoltage)), 0u);
    EXPECT_EQ(word_at(data, offsetof(TDevice, InputVoltage) + 2), 42u);
    stop_agent();
}

// ---- answers that carry no value, or come from elsewhere -----------------

// Every row's answer the one a UPS on line would give, sent as the case
// says.
RogueAnswer good_answer(const RogueRequest &r, osktest::RogueSource from) {
    const std::string &asked = r.oids.at(0);
    if (asked == OidRequest[row_ident_model])
        return {0, 0, {osktest::rogue_text(asked, "Vega 3000 RT")}, from};
    if (asked == OidRequest[row_alarms_present])
        return {0, 0, {osktest::rogue_integer(asked, 0)}, from};
    if (asked == OidRequest[row_output_source])
        return {0, 0, {osktest::rogue_integer(asked, 3)}, from};
    return {0, 0, {osktest::rogue_integer(asked, 42)}, from};
}

struct LostCase {
    const char *name;
    osktest::RogueResponder (*responder)();
    // The first row asked, and asked again, and then the poll ends.
    bool times_out;
};

void PrintTo(const LostCase &c, std::ostream *os) { *os << c.name; }

class UpsNotCommunicating : public HostileUps, public ::testing::WithParamInterface<LostCase> {};

// No answer with a value, or no answer from the UPS's own address and
// port: the poll is a lost one, and no client is told that the UPS
// communicates, in standby or on line.
TEST_P(UpsNotCommunicating, ClientsGetNoStatus) {
    const LostCase &c = GetParam();
    start_rogue(c.responder());
    start_agent_and_poll();
    EXPECT_TRUE(status().empty());
    const std::string out = agent_.out();
    const auto lines = debug_lines(out);
    EXPECT_EQ(lines_with(lines, "Comm established recognized"), 0u) << out;
    EXPECT_EQ(lines_with(lines, "Comm lost recognized"), 1u) << out;
    // A missed response for the scheduler.
    EXPECT_EQ(lines_with(lines, "RESP Dev:"), 0u) << out;
    if (c.times_out) {
        EXPECT_EQ(lines_with(lines, std::string(rogue_.address()) +
                                        " OidRequest = 0 Oid = " + OidRequest[0] +
                                        " SNMP++ Get Error, SNMP++: Request timed out (4294967291)"),
                  1u)
            << out;
        EXPECT_EQ(rogue_.requests(), 2);
        EXPECT_EQ(out.find("Value = "), std::string::npos) << out;
    } else {
        EXPECT_EQ(rogue_.requests(), oid_request_rows);
    }
    stop_agent();
}

template <unsigned char Tag> osktest::RogueResponder answers_without_value() {
    return [](const RogueRequest &r) {
        return std::vector<RogueAnswer>{{0, 0, {osktest::RogueBinding{r.oids.at(0), Tag, 0, {}}}}};
    };
}

template <osktest::RogueSource From> osktest::RogueResponder answers_from() {
    return [](const RogueRequest &r) { return std::vector<RogueAnswer>{good_answer(r, From)}; };
}

INSTANTIATE_TEST_SUITE_P(
    Agents, UpsNotCommunicating,
    ::testing::Values(LostCase{"null", answers_without_value<osktest::k_ber_null>, false},
                      LostCase{"no_such_object",
                               answers_without_value<osktest::k_ber_no_such_object>, false},
                      LostCase{"no_such_instance",
                               answers_without_value<osktest::k_ber_no_such_instance>, false},
                      LostCase{"end_of_mib_view",
                               answers_without_value<osktest::k_ber_end_of_mib_view>, false},
                      LostCase{"from_another_port", answers_from<osktest::RogueSource::other_port>,
                               true},
                      LostCase{"from_another_address",
                               answers_from<osktest::RogueSource::other_address>, true}),
    [](const ::testing::TestParamInfo<LostCase> &info) { return std::string(info.param.name); });

// A forged answer from another port just before the UPS's own: the UPS's
// values are the ones stored and served.
TEST_F(HostileUps, TheUpsOwnAnswerIsTakenOverAForgedOne) {
    start_rogue([](const RogueRequest &r) {
        RogueAnswer forged = good_answer(r, osktest::RogueSource::other_port);
        forged.bindings.at(0) = osktest::rogue_integer(r.oids.at(0), 666);
        return std::vector<RogueAnswer>{forged, good_answer(r, osktest::RogueSource::own)};
    });
    start_agent_and_poll();
    const std::string out = agent_.out();
    EXPECT_EQ(lines_with(debug_lines(out), "Comm established recognized"), 1u) << out;
    EXPECT_EQ(out.find("666"), std::string::npos) << out;
    const std::vector<std::string> answers = device_data();
    ASSERT_EQ(answers.size(), 1u) << out;
    EXPECT_EQ(word_at(answers[0], offsetof(TDevice, BatteryVoltage)), 42u);
    EXPECT_EQ(osktest::text_at(answers[0], offsetof(TDevice, UpsModel), 16), "Vega 3000 RT");
    stop_agent();
}

// ---- one object without a value -----------------------------------------

struct OneObjectCase {
    const char *name;
    const std::string *asked;
    unsigned char tag;
};

void PrintTo(const OneObjectCase &c, std::ostream *os) { *os << c.name; }

class OneObjectWithoutValue : public HostileUps, public ::testing::WithParamInterface<OneObjectCase> {};

// A UPS on battery with a low battery whose agent, after a poll of values,
// answers one object without a value: that object keeps its last value, so
// clients are still told "AC Fail, Low Battery !" (status flags 0x06), not
// a UPS in standby, and a missing count of alarms keeps the alarm bits.
TEST_P(OneObjectWithoutValue, KeepsItsLastValueForClients) {
    const OneObjectCase &c = GetParam();
    // Shared with the rogue's thread, which may answer after the test ends.
    const auto without_value = std::make_shared<std::atomic<bool>>(false);
    start_rogue([&c, without_value](const RogueRequest &r) {
        RogueAnswer answer = osktest::rogue_low_battery_ups(r, "Vega 3000 RT");
        if (*without_value && r.type == osktest::k_pdu_get && r.oids.at(0) == *c.asked)
            answer.bindings.at(0).type = c.tag;
        return std::vector<RogueAnswer>{answer};
    });
    start_agent_and_poll();
    const auto expect_low_battery = [&](const char *when) {
        const std::vector<std::string> answers = status();
        ASSERT_EQ(answers.size(), 1u) << when << "\n" << agent_.out();
        EXPECT_EQ(osktest::byte_at(answers[0], datanet_size + offsetof(StatusData, StatusFlags)),
                  0x06u)
            << when;
        EXPECT_EQ(osktest::text_at(answers[0], datanet_size + offsetof(StatusData, StatusText), 30),
                  "AC Fail, Low Battery !")
            << when;
        const std::vector<std::string> data = device_data();
        ASSERT_EQ(data.size(), 1u) << when;
        EXPECT_EQ(osktest::byte_at(data[0], offsetof(TDevice, PowerFlags)),
                  unsigned{power_output_powered | power_on_battery | power_low_battery})
            << when;
    };
    expect_low_battery("after the poll of values");

    *without_value = true;
    const std::size_t polls = occurrences(agent_.out(), "Comm established recognized");
    // The poll under way may have asked the object before the change: the
    // one after it has not.
    ASSERT_TRUE(osktest::wait_until(
        [&] { return occurrences(agent_.out(), "Comm established recognized") >= polls + 2; }, 60s,
        50ms))
        << agent_.out();
    expect_low_battery("after the object came without a value");
    const std::string out = agent_.out();
    EXPECT_EQ(lines_with(debug_lines(out), "Comm lost recognized"), 0u) << out;
    EXPECT_EQ(lines_with(debug_lines(out), "SNMP++ Get Error"), 0u) << out;
    stop_agent();
}

INSTANTIATE_TEST_SUITE_P(
    Objects, OneObjectWithoutValue,
    ::testing::Values(
        OneObjectCase{"output_source_null", &osktest::k_ups_output_source, osktest::k_ber_null},
        OneObjectCase{"output_source_no_such_object", &osktest::k_ups_output_source,
                      osktest::k_ber_no_such_object},
        OneObjectCase{"alarms_present_null", &osktest::k_ups_alarms_present, osktest::k_ber_null}),
    [](const ::testing::TestParamInfo<OneObjectCase> &info) { return std::string(info.param.name); });

// ---- texts with control bytes --------------------------------------------

// A model text that spells the escape of a line feed, clears the screen
// with the 8-bit control sequence introducer, then ends the trace line and
// writes one that looks like the agent's own and clears the screen again.
// Its first 15 bytes, which the record keeps, hold the backslash and 0x9B.
const std::string kForgingModel = "\\x0A\x9B"
                                  "2J\r\n\rComm lost\x1B[2J";

TEST_F(HostileUps, ControlBytesOfTheModelAreEscapedInTheLogAndKeptForClients) {
    start_rogue([](const RogueRequest &r) {
        RogueAnswer answer = good_answer(r, osktest::RogueSource::own);
        if (r.oids.at(0) == OidRequest[row_ident_model])
            answer.bindings.at(0) = osktest::rogue_text(r.oids.at(0), kForgingModel);
        return std::vector<RogueAnswer>{answer};
    });
    start_agent_and_poll();
    const std::string out = agent_.out();
    EXPECT_NE(out.find(std::string("\nOid = ") + OidRequest[row_ident_model] +
                       " Value = \\x5Cx0A\\x9B2J\\x0D\\x0A\\x0DComm lost\\x1B[2J\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("\x1B"), std::string::npos) << out;
    EXPECT_EQ(out.find("\x9B"), std::string::npos) << out;
    // No line of the log begins with what the model brought.
    for (const std::string &line : debug_lines(out))
        EXPECT_NE(line.rfind("Comm lost", 0), 0u) << out;
    EXPECT_EQ(lines_with(debug_lines(out), "Comm established recognized"), 1u) << out;
    const std::vector<std::string> answers = device_data();
    ASSERT_EQ(answers.size(), 1u) << out;
    EXPECT_EQ(osktest::text_at(answers[0], offsetof(TDevice, UpsModel), 16), kForgingModel.substr(0, 15));
    stop_agent();
}

// ---- request ids ---------------------------------------------------------

// Each run of the agent starts its request ids from a value of its own, so
// that a host that cannot see the requests cannot know the id of the next
// answer awaited.
TEST(RequestIds, EachRunStartsFromAnotherId) {
    std::vector<long> first_ids;
    for (int run = 0; run < 2; ++run) {
        std::atomic<long> first_id{-1};
        osktest::RogueAgent rogue;
        std::string error;
        ASSERT_TRUE(rogue.start(
                        [&first_id](const RogueRequest &r) {
                            if (r.index == 0)
                                first_id = r.request_id;
                            return std::vector<RogueAnswer>{};
                        },
                        error))
            << error;
        const std::uint16_t client_port = osktest::free_udp_port();
        ASSERT_NE(client_port, 0);
        osktest::AgentProcess agent;
        agent.write_ini("[System]\r\nName=test\r\n[Network]\r\nPort=" +
                        std::to_string(client_port + 4) + "\r\n" +
                        osktest::ups_section({1, "UPS hall", "BRAXO1-VEGA3000", 5,
                                              rogue.address(), "public", kDevice}));
        ASSERT_TRUE(agent.start({"-debug"}));
        ASSERT_TRUE(osktest::wait_until([&] { return first_id != -1; }, 60s, 10ms))
            << agent.out() << agent.err();
        agent.signal(SIGINT);
        EXPECT_EQ(agent.wait_exit(30s), 0) << agent.out() << agent.err();
        first_ids.push_back(first_id);
    }
    EXPECT_NE(first_ids[0], first_ids[1]);
}

// ---- a flood of junk ----------------------------------------------------

// The UPS never answers, and large responses of a wrong request id stream
// to the poll's port for ten seconds: the poll's first row times out on
// its own time, and a stop asked during the flood ends the agent as after
// any time-out.
TEST_F(HostileUps, StopDuringAJunkFloodEndsTheAgentAsAfterATimeout) {
    start_rogue([](const RogueRequest &) { return std::vector<RogueAnswer>{}; });
    rogue_.flood_next_source(63000, 300, 10s);
    agent_.write_ini(
        "[System]\r\nName=test\r\n[Network]\r\nPort=" + std::to_string(client_port_ + 4) + "\r\n" +
        osktest::ups_section(
            {1, "UPS hall", "BRAXO1-VEGA3000", 5, rogue_.address(), "public", kDevice}));
    ASSERT_TRUE(agent_.start({"-debug"}));
    ASSERT_TRUE(osktest::wait_until([&] { return rogue_.flooded() > 0; }, 60s, 10ms))
        << agent_.out() << agent_.err();
    std::this_thread::sleep_for(300ms);

    const auto sent = osktest::AgentProcess::Clock::now();
    agent_.signal(SIGINT);
    EXPECT_EQ(agent_.wait_exit(30s), 0) << agent_.out() << agent_.err();
    // The rest of the row's time-out and its retry, then the stop's own
    // second: far inside the flood's ten seconds.
    EXPECT_LT(osktest::AgentProcess::Clock::now() - sent, 4500ms) << agent_.out();
    EXPECT_GT(rogue_.flooded(), 300);
    EXPECT_EQ(rogue_.requests(), 2);

    const std::string out = agent_.out();
    const auto lines = debug_lines(out);
    EXPECT_EQ(lines_with(lines, std::string(rogue_.address()) +
                                    " OidRequest = 0 Oid = " + OidRequest[0] +
                                    " SNMP++ Get Error, SNMP++: Request timed out (4294967291)"),
              1u)
        << out;
    EXPECT_EQ(lines_with(lines, "Timeout recognized"), 1u) << out;
    EXPECT_EQ(lines_with(lines, "Comm lost recognized"), 1u) << out;
}

} // namespace
