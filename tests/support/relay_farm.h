// A row of fault-injecting relays in front of simulated UPSes, each on a
// loopback address of its own at port 161, so that every UPS slot of an
// agent can be given its own faults while a few snmpsimds serve them all.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/snmpsim_fixture.h"
#include "tests/support/udp_relay.h"

namespace osktest {

class RelayFarm {
  public:
    RelayFarm() = default;
    RelayFarm(const RelayFarm &) = delete;
    RelayFarm &operator=(const RelayFarm &) = delete;

    // Leases an address for each of targets and starts a relay on it
    // towards that target's port 161 for the lifetime. False, with the
    // reason in error, when an address or a relay cannot be had.
    bool start(const std::vector<std::string> &targets, std::chrono::seconds lifetime, std::string &error);

    std::size_t size() const { return relays_.size(); }
    // The address that the agent is told to poll for relay i.
    const char *address(std::size_t i) const { return leases_.at(i)->address(); }
    UdpRelay &relay(std::size_t i) { return *relays_.at(i); }

  private:
    // Declared in this order so that the relays end, and let their ports
    // go, before the addresses are released to other tests.
    std::vector<std::unique_ptr<LoopbackLease>> leases_;
    std::vector<std::unique_ptr<UdpRelay>> relays_;
};

} // namespace osktest
