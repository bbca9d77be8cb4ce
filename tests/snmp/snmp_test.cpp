// GET, GET-NEXT and SET of the SNMP layer against a real snmpsimd serving
// the UPS data files, its time-outs against an address nobody serves, the
// answers of a rogue agent that do not fit the request or come from another
// address or port than the one asked, a flood of junk
// that must not hold a request past its time-out, and the requests that
// cannot be sent at all.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "snmp/snmp_pp.h"
#include "tests/support/descriptors_used_up.h"
#include "tests/support/rogue_agent.h"
#include "tests/support/snmpsim_fixture.h"

namespace {

using osktest::SnmpsimTest;

constexpr const char *k_ups = "1.3.6.1.2.1.33.1.";

std::string ups(const char *rest) { return std::string(k_ups) + rest; }

class SnmpSessionTest : public SnmpsimTest {
  protected:
    void SetUp() override {
        SnmpsimTest::SetUp();
        ASSERT_EQ(status_, SNMP_CLASS_SUCCESS);
    }

    CTarget target(const char *read, const char *write = "public") const {
        UdpAddress agent(agent_address());
        agent.set_port(161);
        CTarget t(agent);
        t.set_version(version1);
        t.set_retry(1);
        t.set_timeout(100);
        t.set_readcommunity(OctetStr(read));
        t.set_writecommunity(OctetStr(write));
        return t;
    }

    // One binding asked for; vb receives the answer's binding.
    int ask(int (Snmp::*call)(Pdu &, const SnmpTarget &), const CTarget &t, const std::string &oid,
            Vb &vb) {
        Pdu pdu;
        pdu += Vb(Oid(oid.c_str()));
        const int status = (session_.*call)(pdu, t);
        EXPECT_EQ(pdu.get_vb_count(), 1);
        pdu.get_vb(vb, 0);
        return status;
    }

    static std::string oid_of(const Vb &vb) {
        Oid oid;
        vb.get_oid(oid);
        return oid.get_printable();
    }

    int status_ = -1;
    Snmp session_{status_};
};

enum class Call { get, get_next, set };

// One request and its answer; the OIDs below 1.3.6.1.2.1.33.1.
struct RequestCase {
    Call call;
    const char *community;
    const char *oid;
    int status;
    const char *answer_oid;
    SmiUINT32 syntax;
    std::string printable;
};

void PrintTo(const RequestCase &c, std::ostream *os) {
    *os << (c.call == Call::get ? "get " : "get_next ") << c.community << ' ' << c.oid;
}

class SnmpRequestTest : public SnmpSessionTest,
                        public ::testing::WithParamInterface<RequestCase> {};

TEST_P(SnmpRequestTest, AnswersWithTheBinding) {
    const RequestCase &c = GetParam();
    Vb vb;
    EXPECT_EQ(ask(c.call == Call::get ? &Snmp::get : &Snmp::get_next, target(c.community),
                  ups(c.oid), vb),
              c.status);
    EXPECT_EQ(oid_of(vb), ups(c.answer_oid));
    EXPECT_EQ(vb.get_syntax(), c.syntax);
    EXPECT_EQ(std::string(vb.get_printable_value()), c.printable);
}

constexpr int OK = SNMP_CLASS_SUCCESS;

INSTANTIATE_TEST_SUITE_P(
    Values, SnmpRequestTest,
    ::testing::Values(
        RequestCase{Call::get, "online", "1.2.0", OK, "1.2.0", sNMP_SYNTAX_OCTETS, "Vega 3000 RT"},
        RequestCase{Call::get, "online", "2.5.0", OK, "2.5.0", sNMP_SYNTAX_INT, "816"},
        RequestCase{Call::get, "three_phase", "3.3.1.3.3", OK, "3.3.1.3.3", sNMP_SYNTAX_INT, "235"},
        RequestCase{Call::get, "three_phase", "2.6.0", OK, "2.6.0", sNMP_SYNTAX_INT, "-3"},
        RequestCase{Call::get, "on_battery", "6.1.0", OK, "6.1.0", sNMP_SYNTAX_GAUGE32, "3"},
        RequestCase{Call::get, "on_battery", "6.2.1.2.3", OK, "6.2.1.2.3", sNMP_SYNTAX_OID,
                    "1.3.6.1.2.1.33.1.6.3.20"},
        RequestCase{Call::get, "on_battery", "6.2.1.3.2", OK, "6.2.1.3.2", sNMP_SYNTAX_TIMETICKS,
                    "48000"},
        RequestCase{Call::get, "online", "3.1.0", OK, "3.1.0", sNMP_SYNTAX_CNTR32, "2"},
        RequestCase{Call::get, "bad_values", "2.2.0", OK, "2.2.0", sNMP_SYNTAX_GAUGE32,
                    "4294967295"},
        RequestCase{Call::get, "bad_values", "1.5.0", OK, "1.5.0", sNMP_SYNTAX_IPADDR,
                    "192.168.7.9"},
        RequestCase{Call::get, "bad_values", "3.3.1.5.1", OK, "3.3.1.5.1", sNMP_SYNTAX_NULL, ""},
        RequestCase{Call::get, "bad_values", "2.6.0", OK, "2.6.0", sNMP_SYNTAX_OCTETS, ""},
        RequestCase{Call::get, "bad_values", "3.3.1.4.1", OK, "3.3.1.4.1", sNMP_SYNTAX_INT,
                    "-2147483648"},
        RequestCase{Call::get, "bad_values", "1.2.0", OK, "1.2.0", sNMP_SYNTAX_OCTETS,
                    "QW 9T8 " + std::string(293, 'X')},
        // An object the agent lacks: the answer repeats the binding asked for.
        RequestCase{Call::get, "ptolve", "2.7.0", SNMP_ERROR_NO_SUCH_NAME, "2.7.0",
                    sNMP_SYNTAX_NULL, ""},
        RequestCase{Call::get_next, "on_battery", "6.1.0", OK, "6.2.1.2.1", sNMP_SYNTAX_OID,
                    "1.3.6.1.2.1.33.1.6.3.2"},
        RequestCase{Call::get_next, "alarm_id", "6.1.0", OK, "6.2.1.1.7", sNMP_SYNTAX_INT, "7"},
        // Past the end of the agent's tree.
        RequestCase{Call::get_next, "online", "9.10.0", SNMP_ERROR_NO_SUCH_NAME, "9.10.0",
                    sNMP_SYNTAX_NULL, ""}));

TEST_F(SnmpSessionTest, OversizedTextsArriveWhole) {
    Vb vb;
    ASSERT_EQ(ask(&Snmp::get, target("bad_values"), ups("1.4.0"), vb), SNMP_CLASS_SUCCESS);
    const std::string text = vb.get_printable_value();
    ASSERT_EQ(text.size(), 10000u);
    EXPECT_EQ(text.substr(0, 3), "abc");
    EXPECT_EQ(text.back(), 'a' + (9999 % 26));

    ASSERT_EQ(ask(&Snmp::get_next, target("bad_values"), ups("6.2.1.2.4"), vb), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(Oid(oid_of(vb).c_str()).len(), 63u);
    EXPECT_STREQ(vb.get_printable_value(), "1.3.6.1.2.1.33.1.6.3.1");
}

TEST_F(SnmpSessionTest, GetNextWalksTheAlarmTableInOrder) {
    const CTarget t = target("on_battery");
    std::vector<std::string> walked;
    std::string from = ups("6.1.0");
    for (int step = 0; step < 4; ++step) {
        Vb vb;
        ASSERT_EQ(ask(&Snmp::get_next, t, from, vb), SNMP_CLASS_SUCCESS);
        from = oid_of(vb);
        walked.push_back(from + " = " + vb.get_printable_value());
    }
    EXPECT_EQ(walked, (std::vector<std::string>{
                          ups("6.2.1.2.1") + " = 1.3.6.1.2.1.33.1.6.3.2",
                          ups("6.2.1.2.2") + " = 1.3.6.1.2.1.33.1.6.3.3",
                          ups("6.2.1.2.3") + " = 1.3.6.1.2.1.33.1.6.3.20",
                          ups("6.2.1.3.1") + " = 1200",
                      }));
}

TEST_F(SnmpSessionTest, SetGoesWithTheWriteCommunityAndReadsBack) {
    // Read community "online", write community "writable": the SET must
    // reach the writable UPS while GETs still read the other one.
    const CTarget t = target("online", "writable");
    const CTarget writable = target("writable");
    struct Write {
        const char *oid;
        long value;
    };
    for (const Write w :
         {Write{"8.2.0", 30}, Write{"8.4.0", 5}, Write{"8.4.0", -1}, Write{"8.2.0", 65535}}) {
        Pdu pdu;
        Vb vb(Oid(ups(w.oid).c_str()));
        vb.set_value(SnmpInt32(w.value));
        pdu += vb;
        ASSERT_EQ(session_.set(pdu, t), SNMP_CLASS_SUCCESS) << w.oid;
        Vb answer;
        ASSERT_EQ(ask(&Snmp::get, writable, ups(w.oid), answer), SNMP_CLASS_SUCCESS);
        EXPECT_EQ(std::string(answer.get_printable_value()), std::to_string(w.value));
        ASSERT_EQ(ask(&Snmp::get, t, ups(w.oid), answer), SNMP_CLASS_SUCCESS);
        EXPECT_STREQ(answer.get_printable_value(), "-1");
    }
}

TEST_F(SnmpSessionTest, RefusedSetIsAnErrorStatus) {
    Pdu pdu;
    Vb vb(Oid(ups("8.2.0").c_str()));
    vb.set_value(SnmpInt32(30));
    pdu += vb;
    const int status = session_.set(pdu, target("online", "online"));
    EXPECT_GT(status, 0);
    EXPECT_LE(status, SNMP_ERROR_GENERAL_VB_ERR);
}

TEST_F(SnmpSessionTest, OneSessionServesAgentsInTurn) {
    osktest::LoopbackLease silent;
    std::string error;
    ASSERT_TRUE(silent.acquire(161, error)) << error;
    UdpAddress nobody(silent.address());
    CTarget quiet(nobody);
    quiet.set_retry(0);
    quiet.set_timeout(20);
    Vb vb;
    ASSERT_EQ(ask(&Snmp::get, target("online"), ups("1.2.0"), vb), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(ask(&Snmp::get, quiet, ups("1.2.0"), vb), SNMP_CLASS_TIMEOUT);
    ASSERT_EQ(ask(&Snmp::get, target("three_phase"), ups("1.2.0"), vb), SNMP_CLASS_SUCCESS);
    EXPECT_STREQ(vb.get_printable_value(), "Orion 40K 3/3");
}

TEST_F(SnmpSessionTest, PrintsNothingOfItsOwn) {
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    Vb vb;
    ask(&Snmp::get, target("online"), ups("1.1.0"), vb);
    ask(&Snmp::get, target("ptolve"), ups("2.7.0"), vb);
    ask(&Snmp::get_next, target("online"), ups("9.10.0"), vb);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, "");
}

struct TimeoutCase {
    int retries;
    unsigned long centiseconds;
    double seconds;
};

void PrintTo(const TimeoutCase &c, std::ostream *os) {
    *os << c.retries << " retries of " << c.centiseconds << " cs";
}

class SnmpTimeoutTest : public ::testing::TestWithParam<TimeoutCase> {};

// Nobody serves a leased address: every try waits its whole time-out.
TEST_P(SnmpTimeoutTest, WaitsEveryTryThenTimesOut) {
    const TimeoutCase &c = GetParam();
    osktest::LoopbackLease silent;
    std::string error;
    ASSERT_TRUE(silent.acquire(161, error)) << error;
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    UdpAddress address(silent.address());
    CTarget target(address);
    target.set_retry(c.retries);
    target.set_timeout(c.centiseconds);
    Pdu pdu;
    pdu += Vb(Oid(ups("1.1.0").c_str()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.get(pdu, target), SNMP_CLASS_TIMEOUT);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(elapsed, c.seconds * 0.95);
    EXPECT_LT(elapsed, c.seconds + 1.0);
    // The request is left as it was.
    Vb vb;
    ASSERT_TRUE(pdu.get_vb(vb, 0));
    EXPECT_EQ(vb.get_syntax(), sNMP_SYNTAX_NULL);
}

INSTANTIATE_TEST_SUITE_P(Targets, SnmpTimeoutTest,
                         ::testing::Values(TimeoutCase{1, 100, 2.0}, // the poll's target
                                           TimeoutCase{0, 30, 0.3}));

// ---- a rogue agent's answers -------------------------------------------

using osktest::RogueAnswer;
using osktest::RogueRequest;

constexpr const char *kSysUpTime = "1.3.6.1.2.1.1.3.0";

// The poll's target (1 retry of 1 s) towards the rogue.
CTarget rogue_target(const osktest::RogueAgent &rogue) {
    UdpAddress agent(rogue.address());
    agent.set_port(161);
    CTarget t(agent);
    t.set_retry(1);
    t.set_timeout(100);
    return t;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the rogue answers to a request of one binding.
std::vector<RogueAnswer> same_object(const RogueRequest &r) {
    return {{0, 0, {osktest::rogue_integer(r.oids.at(0), 12345)}}};
}
std::vector<RogueAnswer> other_object(const RogueRequest &) {
    return {{0, 0, {osktest::rogue_timeticks(kSysUpTime, 12345)}}};
}
std::vector<RogueAnswer> two_bindings(const RogueRequest &r) {
    return {{0, 0,
             {osktest::rogue_integer(r.oids.at(0), 12345),
              osktest::rogue_timeticks(kSysUpTime, 12345)}}};
}
std::vector<RogueAnswer> no_binding(const RogueRequest &) { return {{0, 0, {}}}; }
std::vector<RogueAnswer> next_arc(const RogueRequest &r) {
    return {{0, 0, {osktest::rogue_integer(r.oids.at(0) + ".1", 12345)}}};
}
// The OID asked for without its last arc: a prefix comes before it.
std::vector<RogueAnswer> parent_object(const RogueRequest &r) {
    const std::string &asked = r.oids.at(0);
    return {{0, 0, {osktest::rogue_integer(asked.substr(0, asked.rfind('.')), 12345)}}};
}
std::vector<RogueAnswer> error_for_other_object(const RogueRequest &) {
    return {{0, SNMP_ERROR_NO_SUCH_NAME, {osktest::rogue_timeticks(kSysUpTime, 12345)}}};
}
// A late answer to the request before, then the answer to this one.
std::vector<RogueAnswer> stale_then_right(const RogueRequest &r) {
    return {{-1, 0, {osktest::rogue_integer(r.oids.at(0), 111)}},
            {0, 0, {osktest::rogue_integer(r.oids.at(0), 222)}}};
}

struct RogueCase {
    const char *name;
    Call call; // get, get_next, or set for a SET of the value 5
    const char *oid;
    std::vector<RogueAnswer> (*answer)(const RogueRequest &);
    int status;
    // The answer's binding when it was taken.
    std::string answer_oid;
    const char *value;
};

void PrintTo(const RogueCase &c, std::ostream *os) { *os << c.name; }

class RogueAnswerTest : public ::testing::TestWithParam<RogueCase> {};

TEST_P(RogueAnswerTest, OnlyAnAnswerForTheObjectAskedCounts) {
    const RogueCase &c = GetParam();
    osktest::RogueAgent rogue;
    std::string error;
    ASSERT_TRUE(rogue.start(c.answer, error)) << error;
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    Pdu pdu;
    Vb asked{Oid(c.oid)};
    if (c.call == Call::set)
        asked.set_value(SnmpInt32(5));
    pdu += asked;
    const CTarget target = rogue_target(rogue);
    const int outcome = c.call == Call::get       ? session.get(pdu, target)
                        : c.call == Call::get_next ? session.get_next(pdu, target)
                                                   : session.set(pdu, target);
    EXPECT_EQ(outcome, c.status);
    EXPECT_EQ(rogue.requests(), 1);
    ASSERT_EQ(pdu.get_vb_count(), 1);
    Vb vb;
    pdu.get_vb(vb, 0);
    Oid name;
    vb.get_oid(name);
    if (c.answer_oid.empty()) {
        // Refused: the request is left as it was asked.
        EXPECT_STREQ(name.get_printable(), c.oid);
        EXPECT_EQ(vb.get_syntax(), c.call == Call::set ? sNMP_SYNTAX_INT : sNMP_SYNTAX_NULL);
        EXPECT_STREQ(vb.get_printable_value(), c.call == Call::set ? "5" : "");
    } else {
        EXPECT_EQ(name.get_printable(), c.answer_oid);
        EXPECT_STREQ(vb.get_printable_value(), c.value);
    }
}

constexpr const char *kModel = "1.3.6.1.2.1.33.1.1.2.0";
constexpr const char *kAlarmsPresent = "1.3.6.1.2.1.33.1.6.1.0";
constexpr const char *kShutdownAfterDelay = "1.3.6.1.2.1.33.1.8.2.0";
constexpr int kMismatch = SNMP_CLASS_ANSWER_MISMATCH;

INSTANTIATE_TEST_SUITE_P(
    Answers, RogueAnswerTest,
    ::testing::Values(
        RogueCase{"get_same_object", Call::get, kModel, same_object, OK, kModel, "12345"},
        RogueCase{"get_other_object", Call::get, kModel, other_object, kMismatch, "", ""},
        RogueCase{"get_two_bindings", Call::get, kModel, two_bindings, kMismatch, "", ""},
        RogueCase{"get_no_binding", Call::get, kModel, no_binding, kMismatch, "", ""},
        RogueCase{"get_next_arc", Call::get, kModel, next_arc, kMismatch, "", ""},
        // An error answer is the agent's error, whatever it names.
        RogueCase{"get_error_for_other_object", Call::get, kModel, error_for_other_object,
                  SNMP_ERROR_NO_SUCH_NAME, kSysUpTime, "12345"},
        // The engine passes over an answer with the id of an earlier request.
        RogueCase{"get_stale_then_right", Call::get, kModel, stale_then_right, OK, kModel, "222"},
        RogueCase{"get_next_after", Call::get_next, kAlarmsPresent, next_arc, OK,
                  std::string(kAlarmsPresent) + ".1", "12345"},
        RogueCase{"get_next_same_object", Call::get_next, kAlarmsPresent, same_object, kMismatch,
                  "", ""},
        RogueCase{"get_next_before", Call::get_next, kAlarmsPresent, other_object, kMismatch, "",
                  ""},
        RogueCase{"get_next_parent", Call::get_next, kAlarmsPresent, parent_object, kMismatch, "",
                  ""},
        RogueCase{"get_next_two_bindings", Call::get_next, kAlarmsPresent, two_bindings, kMismatch,
                  "", ""},
        RogueCase{"set_same_object", Call::set, kShutdownAfterDelay, same_object, OK,
                  kShutdownAfterDelay, "12345"},
        RogueCase{"set_other_object", Call::set, kShutdownAfterDelay, other_object, kMismatch, "",
                  ""},
        RogueCase{"set_no_binding", Call::set, kShutdownAfterDelay, no_binding, kMismatch, "",
                  ""}),
    [](const ::testing::TestParamInfo<RogueCase> &info) { return std::string(info.param.name); });

// An agent one request behind answers each request with the binding of
// the one before it, under the right request id: every answer is refused.
TEST(RogueAnswers, OneRequestBehindIsRefusedEveryTime) {
    std::string previous = kSysUpTime;
    osktest::RogueAgent rogue;
    std::string error;
    ASSERT_TRUE(rogue.start(
                    [&previous](const RogueRequest &r) {
                        std::vector<RogueAnswer> answers{
                            {0, 0, {osktest::rogue_integer(previous, 12345)}}};
                        previous = r.oids.at(0);
                        return answers;
                    },
                    error))
        << error;
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    const CTarget target = rogue_target(rogue);
    for (const char *oid : {"1.3.6.1.2.1.33.1.1.1.0", kModel, "1.3.6.1.2.1.33.1.1.3.0"}) {
        Pdu pdu;
        pdu += Vb(Oid(oid));
        EXPECT_EQ(session.get(pdu, target), kMismatch) << oid;
    }
    EXPECT_EQ(rogue.requests(), 3);
}

// ---- answers from elsewhere -------------------------------------------------

// A GET of upsIdentModel.0 from the rogue with the poll's target, in pdu:
// its status, and how long it took.
void expect_timed_model_get(const osktest::RogueAgent &rogue, Pdu &pdu, int status,
                            double min_seconds, double max_seconds) {
    int created = -1;
    Snmp session(created);
    ASSERT_EQ(created, SNMP_CLASS_SUCCESS);
    pdu += Vb(Oid(kModel));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.get(pdu, rogue_target(rogue)), status);
    const double elapsed = seconds_since(start);
    EXPECT_GE(elapsed, min_seconds);
    EXPECT_LT(elapsed, max_seconds);
}

using osktest::RogueSource;

struct SourceCase {
    const char *name;
    // The answers, in order, each the request's own binding with its value.
    std::vector<std::pair<RogueSource, long>> answers;
    int status;
    const char *value;
    // Tries the rogue was asked: the retry too when nothing counted.
    int requests;
    double min_seconds;
    double max_seconds;
};

void PrintTo(const SourceCase &c, std::ostream *os) { *os << c.name; }

class AnswerSourceTest : public ::testing::TestWithParam<SourceCase> {};

// Only a datagram from the address and port the request went to answers
// it; one from another port or another address, with the right request id
// and the object asked for, is passed over and the request waits on.
TEST_P(AnswerSourceTest, OnlyTheAgentAskedAnswers) {
    const SourceCase &c = GetParam();
    osktest::RogueAgent rogue;
    std::string error;
    ASSERT_TRUE(rogue.start(
                    [&c](const RogueRequest &r) {
                        std::vector<RogueAnswer> answers;
                        for (const auto &[from, value] : c.answers)
                            answers.push_back(
                                {0, 0, {osktest::rogue_integer(r.oids.at(0), value)}, from});
                        return answers;
                    },
                    error))
        << error;
    Pdu pdu;
    expect_timed_model_get(rogue, pdu, c.status, c.min_seconds, c.max_seconds);
    EXPECT_EQ(rogue.requests(), c.requests);
    Vb vb;
    pdu.get_vb(vb, 0);
    EXPECT_STREQ(vb.get_printable_value(), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, AnswerSourceTest,
    ::testing::Values(
        SourceCase{"other_port", {{RogueSource::other_port, 666}}, SNMP_CLASS_TIMEOUT, "", 2, 1.9,
                   2.5},
        SourceCase{"other_address", {{RogueSource::other_address, 666}}, SNMP_CLASS_TIMEOUT, "",
                   2, 1.9, 2.5},
        SourceCase{"other_port_first",
                   {{RogueSource::other_port, 666}, {RogueSource::own, 12345}},
                   OK,
                   "12345",
                   1,
                   0,
                   0.5},
        SourceCase{"other_address_first",
                   {{RogueSource::other_address, 666}, {RogueSource::own, 12345}},
                   OK,
                   "12345",
                   1,
                   0,
                   0.5}),
    [](const ::testing::TestParamInfo<SourceCase> &info) { return std::string(info.param.name); });

// ---- a flood of junk ------------------------------------------------------

struct FloodCase {
    const char *name;
    // The rogue answers the retry, not the first try.
    bool answers_retry;
    int status;
    double min_seconds;
    double max_seconds;
};

void PrintTo(const FloodCase &c, std::ostream *os) { *os << c.name; }

class JunkFloodTest : public ::testing::TestWithParam<FloodCase> {};

// Large responses of a wrong request id stream to the request's port for
// ten seconds: the request still ends on its own time, the retry going
// out after the first time-out as without the flood.
TEST_P(JunkFloodTest, RequestEndsOnItsOwnTime) {
    const FloodCase &c = GetParam();
    osktest::RogueAgent rogue;
    std::string error;
    ASSERT_TRUE(rogue.start(
                    [&c](const RogueRequest &r) {
                        return c.answers_retry && r.index == 1 ? same_object(r)
                                                               : std::vector<RogueAnswer>{};
                    },
                    error))
        << error;
    rogue.flood_next_source(63000, 300, std::chrono::seconds(10));
    Pdu pdu;
    expect_timed_model_get(rogue, pdu, c.status, c.min_seconds, c.max_seconds);
    EXPECT_EQ(rogue.requests(), 2);
    // The flood really ran while the request waited.
    EXPECT_GT(rogue.flooded(), 150);
}

INSTANTIATE_TEST_SUITE_P(
    Floods, JunkFloodTest,
    ::testing::Values(FloodCase{"unanswered", false, SNMP_CLASS_TIMEOUT, 1.9, 2.5},
                      FloodCase{"retry_answered", true, SNMP_CLASS_SUCCESS, 0.95, 1.5}),
    [](const ::testing::TestParamInfo<FloodCase> &info) { return std::string(info.param.name); });

TEST(SnmpSession, Ipv6SessionIsNotCreated) {
    int status = 0;
    Snmp session(status, 0, true);
    EXPECT_EQ(status, SNMP_CLASS_TL_UNSUPPORTED);
    EXPECT_STRNE(Snmp::error_msg(status), "Unknown error code");

    // A session that was not created sends nothing.
    UdpAddress agent("127.0.0.1");
    CTarget target(agent);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
    EXPECT_EQ(session.get(pdu, target), SNMP_CLASS_INVALID);
}

TEST(SnmpSession, RequestsThatCannotBeSent) {
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));

    UdpAddress v6("::1");
    CTarget v6_target(v6);
    EXPECT_EQ(session.get(pdu, v6_target), SNMP_CLASS_TL_UNSUPPORTED);

    UdpAddress unknown("no-such-ups.invalid");
    CTarget unknown_target(unknown);
    EXPECT_FALSE(unknown_target.valid());
    EXPECT_EQ(session.get(pdu, unknown_target), SNMP_CLASS_INVALID_ADDRESS);

    UdpAddress agent("127.0.0.1");
    CTarget target(agent);
    Pdu empty;
    EXPECT_EQ(session.get(empty, target), SNMP_CLASS_INVALID_PDU);
    Pdu bad_oid;
    bad_oid += Vb(Oid("1.3.6.1.2.1.33.1.6.2.1.2.x"));
    EXPECT_EQ(session.get_next(bad_oid, target), SNMP_CLASS_INVALID_OID);

    // A send the network refuses (broadcast without permission) is a
    // transport failure, not a time-out.
    UdpAddress broadcast("255.255.255.255");
    CTarget broadcast_target(broadcast);
    EXPECT_EQ(session.get(pdu, broadcast_target), SNMP_CLASS_TL_FAILED);
}

// A session that cannot get a socket for a valid address (every
// descriptor of the process in use) has a transport failure, which the
// poll counts as a lost poll, not an address it could never reach.
TEST(SnmpSession, NoDescriptorForTheSocketIsATransportFailure) {
    int status = -1;
    Snmp session(status);
    ASSERT_EQ(status, SNMP_CLASS_SUCCESS);
    UdpAddress agent("127.0.0.1");
    agent.set_port(161);
    CTarget target(agent);
    Pdu pdu;
    pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.1.0"));
    int outcome = 0;
    {
        osktest::DescriptorsUsedUp descriptors;
        ASSERT_TRUE(descriptors.used_up());
        outcome = session.get(pdu, target);
    }
    EXPECT_EQ(outcome, SNMP_CLASS_TL_FAILED);
}

} // namespace
