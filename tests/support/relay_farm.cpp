// Leasing the addresses of a relay farm and starting its relays.
#include "tests/support/relay_farm.h"

namespace osktest {

bool RelayFarm::start(const std::vector<std::string> &targets, std::chrono::seconds lifetime,
                      std::string &error) {
    for (const std::string &target_address : targets) {
        auto lease = std::make_unique<LoopbackLease>();
        if (!lease->acquire(161, error))
            return false;
        auto relay = std::make_unique<UdpRelay>();
        if (!relay->start(lease->address(), 161, target_address, 161, error, lifetime))
            return false;
        leases_.push_back(std::move(lease));
        relays_.push_back(std::move(relay));
    }
    return true;
}

} // namespace osktest
