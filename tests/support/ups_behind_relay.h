// Whole-process tests of the agent with a UPS behind the fault-injecting
// relay: the relay takes an address of its own on port 161 and passes the
// agent's SNMP requests on to the suite's snmpsimd, so that a test can make
// the UPS go silent, come back or answer late while the agent runs.
#pragma once

#include <chrono>
#include <string>

#include "tests/support/agent_with_ups.h"
#include "tests/support/udp_relay.h"

namespace osktest {

class UpsBehindRelay : public AgentWithUps {
  protected:
    void SetUp() override {
        AgentWithUps::SetUp();
        if (HasFatalFailure())
            return;
        std::string error;
        ASSERT_TRUE(relay_address_.acquire(161, error)) << error;
        ASSERT_TRUE(relay_.start(relay_address_.address(), 161, ups_address(), 161, error,
                                 std::chrono::seconds(280)))
            << error;
    }

    // The UPS's address as the agent is given it.
    const char *relay_address() const { return relay_address_.address(); }

    // The error line of a request that got no answer, as the poll writes it.
    std::string timed_out_line(const std::string &what) const {
        return std::string(relay_address()) + " " + what +
               " SNMP++ Get Error, SNMP++: Request timed out (4294967291)";
    }

    LoopbackLease relay_address_;
    UdpRelay relay_;
};

} // namespace osktest
