// The fault-injecting relay between the SNMP layer and snmpsimd: requests
// and answers pass, and the relay goes silent, drops one answer, delays the
// answers, turns them into error answers and resumes when told to.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "snmp/snmp_pp.h"
#include "tests/support/snmpsim_fixture.h"
#include "tests/support/udp_relay.h"

namespace {

using Clock = std::chrono::steady_clock;

class UdpRelayTest : public osktest::SnmpsimTest {
  protected:
    void SetUp() override {
        SnmpsimTest::SetUp();
        std::string error;
        ASSERT_TRUE(relay_address_.acquire(161, error)) << error;
        ASSERT_TRUE(relay_.start(relay_address_.address(), 161, agent_address(), 161, error))
            << error;
        ASSERT_EQ(created_, SNMP_CLASS_SUCCESS);
    }

    // A GET of upsIdentModel of the on-line UPS through the relay, with the
    // poll's time-out and retry unless told otherwise; seconds receives
    // how long it took.
    int get_model(double &seconds, int retries = 1, unsigned long centiseconds = 100) {
        UdpAddress address(relay_address_.address());
        CTarget target(address);
        target.set_retry(retries);
        target.set_timeout(centiseconds);
        target.set_readcommunity(OctetStr("online"));
        Pdu pdu;
        pdu += Vb(Oid("1.3.6.1.2.1.33.1.1.2.0"));
        const auto start = Clock::now();
        const int status = session_.get(pdu, target);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        Vb vb;
        pdu.get_vb(vb, 0);
        if (status == SNMP_CLASS_SUCCESS) {
            EXPECT_STREQ(vb.get_printable_value(), "Vega 3000 RT");
        }
        return status;
    }

    osktest::LoopbackLease relay_address_;
    osktest::UdpRelay relay_;
    int created_ = -1;
    Snmp session_{created_};
};

TEST_F(UdpRelayTest, PassesRequestsAndAnswers) {
    double seconds = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(relay_.requests(), 3);
    EXPECT_EQ(relay_.answers(), 3);
}

TEST_F(UdpRelayTest, StopsAnsweringAfterNRequestsUntilResumed) {
    relay_.stop_answering_after(2);
    double seconds = 0;
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_TIMEOUT);
    EXPECT_GE(seconds, 1.9);
    // The try and its retry both went unanswered.
    EXPECT_EQ(relay_.requests(), 4);
    EXPECT_EQ(relay_.answers(), 2);
    relay_.resume();
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(relay_.answers(), 3);
}

TEST_F(UdpRelayTest, DropsExactlyTheKthAnswer) {
    relay_.drop_answer(2);
    double seconds = 0;
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_LT(seconds, 0.9);
    // The second answer is lost: the retry after one second gets the third.
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_GE(seconds, 0.95);
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_LT(seconds, 0.9);
    EXPECT_EQ(relay_.requests(), 4);
    EXPECT_EQ(relay_.answers(), 3);
}

TEST_F(UdpRelayTest, DelaysAnswers) {
    relay_.delay_answers(std::chrono::milliseconds(400));
    double seconds = 0;
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_GE(seconds, 0.38);
    EXPECT_LT(seconds, 0.9);
    // An answer later than the time-out does not count.
    EXPECT_EQ(get_model(seconds, 0, 20), SNMP_CLASS_TIMEOUT);
    relay_.resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    EXPECT_LT(seconds, 0.3);
}

TEST_F(UdpRelayTest, TurnsAnswersIntoErrorAnswersUntilResumed) {
    double seconds = 0;
    relay_.answer_with_error(SNMP_ERROR_GENERAL_VB_ERR);
    EXPECT_EQ(get_model(seconds), SNMP_ERROR_GENERAL_VB_ERR);
    relay_.answer_with_error(SNMP_ERROR_NO_SUCH_NAME);
    EXPECT_EQ(get_model(seconds), SNMP_ERROR_NO_SUCH_NAME);
    EXPECT_EQ(relay_.answers(), 2);
    relay_.resume();
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    // Told how many, the relay passes the answers after them unchanged.
    relay_.answer_with_error(SNMP_ERROR_GENERAL_VB_ERR, 2);
    EXPECT_EQ(get_model(seconds), SNMP_ERROR_GENERAL_VB_ERR);
    EXPECT_EQ(get_model(seconds), SNMP_ERROR_GENERAL_VB_ERR);
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
}

TEST_F(UdpRelayTest, EndsByItselfAfterItsLifetime) {
    relay_.stop();
    std::string error;
    ASSERT_TRUE(relay_.start(relay_address_.address(), 161, agent_address(), 161, error,
                             std::chrono::seconds(1)))
        << error;
    double seconds = 0;
    EXPECT_EQ(get_model(seconds), SNMP_CLASS_SUCCESS);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(get_model(seconds, 0, 30), SNMP_CLASS_TIMEOUT);
}

} // namespace
