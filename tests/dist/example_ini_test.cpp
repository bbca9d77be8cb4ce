// The example kervon.ini that the install ships, as an operator uses it:
// only the UPS's address and communities set (and the client port moved to
// the test's own), the agent polls that UPS and answers oskavelde-client's
// GET_STATUS for the device number the example gives it.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/support/agent_with_ups.h"
#include "tests/support/command_output.h"

namespace {

// Where the value of a key of a section lies: its first byte and its end,
// or npos when the section has no such key. Lines end in LF or CR LF.
std::pair<std::size_t, std::size_t> value_span(const std::string &ini, const std::string &section,
                                               const std::string &key) {
    std::size_t at = ini.find("[" + section + "]");
    if (at != std::string::npos)
        at = ini.find('\n', at);
    while (at != std::string::npos && at + 1 < ini.size() && ini[at + 1] != '[') {
        const std::size_t line = at + 1;
        at = ini.find('\n', line);
        if (ini.compare(line, key.size() + 1, key + "=") != 0)
            continue;
        const std::size_t from = line + key.size() + 1;
        std::size_t to = at == std::string::npos ? ini.size() : at;
        if (to > from && ini[to - 1] == '\r')
            --to;
        return {from, to};
    }
    return {std::string::npos, std::string::npos};
}

std::string value_of(const std::string &ini, const std::string &section, const std::string &key) {
    const auto [from, to] = value_span(ini, section, key);
    return from == std::string::npos ? "(none)" : ini.substr(from, to - from);
}

// False when the section has no such key.
bool set_key(std::string &ini, const std::string &section, const std::string &key,
             const std::string &value) {
    const auto [from, to] = value_span(ini, section, key);
    if (from == std::string::npos)
        return false;
    ini.replace(from, to - from, value);
    return true;
}

class ExampleIni : public osktest::AgentWithUps {};

TEST_F(ExampleIni, AgentPollsItsUpsAndAnswersStatusForItsDeviceNumber) {
    std::string ini = read_file_bytes(std::string(OSK_SOURCE_DIR) + "/dist/kervon.ini");
    ASSERT_FALSE(ini.empty());
    // The first UPS as the example gives it: an SNMP agent, device 1.
    EXPECT_EQ(value_of(ini, "UPS_00", "Connection"), "5");
    const std::string device = value_of(ini, "UPS_00", "Device");
    EXPECT_EQ(device, "1");
    ASSERT_TRUE(set_key(ini, "UPS_00", "Port", ups_address())) << ini;
    ASSERT_TRUE(set_key(ini, "UPS_00", "SNMPGetComm", "online")) << ini;
    ASSERT_TRUE(set_key(ini, "UPS_00", "SNMPSetComm", "online")) << ini;
    ASSERT_TRUE(set_key(ini, "Network", "Port", std::to_string(client_port_ + 4))) << ini;

    start_agent(ini, 1);
    const osktest::CommandOutput r =
        osktest::run_command(std::string(OSK_BINARY_DIR) + "/oskavelde-client 127.0.0.1 " +
                             std::to_string(client_port_) + " GET_STATUS " + device + " 2>&1");
    EXPECT_EQ(r.exit_code, 0) << r.out << agent_.out();
    EXPECT_NE(r.out.find("  StatusText: \"On Line\"\n"), std::string::npos) << r.out;
}

} // namespace
