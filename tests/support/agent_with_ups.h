// Whole-process tests of the agent with simulated UPS devices: one
// snmpsimd per test suite on a leased loopback address, serving the UPS
// data files of tests/data/snmpsim; an agent process per test whose
// kervon.ini names those devices; and the client's side of the protocol
// over real UDP datagrams.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/winsock.h"
#include "server/protocol.h"
#include "snmp/snmp_pp.h"
#include "tests/support/agent_process.h"
#include "tests/support/debug_lines.h"
#include "tests/support/protocol_client.h"
#include "tests/support/snmpsim_fixture.h"
#include "tests/support/wait_until.h"

namespace osktest {

// A UDP port that no process holds at the moment of the call: the first
// that binds, from a start that differs from process to process, so that
// tests running side by side seldom try the same ports.
inline std::uint16_t free_udp_port() {
    platform::WSADATA data;
    platform::WSAStartup(platform::MAKEWORD(1, 1), &data);
    unsigned candidate = 20000u + static_cast<unsigned>(::getpid()) * 7919u % 40000u;
    for (int attempt = 0; attempt < 200; ++attempt, candidate = 20000u + (candidate + 137u) % 40000u) {
        const platform::SOCKET s = platform::socket(platform::AF_INET, platform::SOCK_DGRAM, platform::IPPROTO_UDP);
        platform::sockaddr_in at{};
        at.sin_family = platform::AF_INET;
        at.sin_port = platform::htons(static_cast<std::uint16_t>(candidate));
        at.sin_addr.s_addr = platform::htonl(platform::INADDR_ANY);
        const int bound = platform::bind(s, reinterpret_cast<const platform::sockaddr *>(&at), sizeof at);
        platform::closesocket(s);
        if (bound == 0)
            return static_cast<std::uint16_t>(candidate);
    }
    return 0;
}

// One [UPS_nn] section of kervon.ini.
struct UpsEntry {
    int slot;
    std::string name;
    std::string type;     // model code
    int connection;       // 5 for an SNMP agent
    std::string address;  // the UPS's SNMP agent
    std::string community;
    int device;
};

inline std::string ups_section(const UpsEntry &ups) {
    char head[16];
    std::snprintf(head, sizeof head, "[UPS_%02d]", ups.slot);
    return std::string(head) + "\r\nName=" + ups.name + "\r\nType=" + ups.type +
           "\r\nConnection=" + std::to_string(ups.connection) + "\r\nPort=" + ups.address +
           "\r\nDevice=" + std::to_string(ups.device) + "\r\nSNMPGetComm=" + ups.community +
           "\r\nSNMPSetComm=" + ups.community + "\r\n";
}

class AgentWithUps : public SnmpsimTest {
  protected:
    void SetUp() override {
        SnmpsimTest::SetUp();
        if (HasFatalFailure())
            return;
        client_port_ = free_udp_port();
        ASSERT_NE(client_port_, 0);
    }

    // The simulator's address; every community is a data file's name.
    static const char *ups_address() { return agent_address(); }

    // kervon.ini with the [System] lines given, the client port of the
    // test, and the devices.
    std::string ini(const std::string &system, const std::vector<UpsEntry> &devices) const {
        std::string text = "[System]\r\nName=test\r\n" + system + "[Network]\r\nPort=" +
                           std::to_string(client_port_ + 4) + "\r\n";
        for (const UpsEntry &ups : devices)
            text += ups_section(ups);
        return text;
    }

    // Starts the agent and waits until it has answered polls: count
    // "RESP Dev:" lines on its console.
    void start_agent(const std::string &ini_text, std::size_t polls, const std::vector<std::string> &args = {"-debug"}) {
        agent_.write_ini(ini_text);
        ASSERT_TRUE(agent_.start(args));
        ASSERT_TRUE(wait_for_count("RESP Dev:", polls, std::chrono::seconds(60))) << agent_.out() << agent_.err();
    }

    bool wait_for_count(const std::string &text, std::size_t count, std::chrono::milliseconds limit) const {
        return wait_until([&] { return occurrences(agent_.out(), text) >= count; }, limit, kCountInterval);
    }

    // The same in the debug log file, for a run whose console goes nowhere.
    bool wait_for_log_count(const std::string &text, std::size_t count, std::chrono::milliseconds limit) const {
        return wait_until([&] { return occurrences(agent_.log(), text) >= count; }, limit, kCountInterval);
    }

    // Sends one request and returns every datagram that comes back; the
    // network thread takes datagrams every 250 ms.
    std::vector<std::string> request(std::uint16_t type, std::uint16_t device, const std::string &payload = {},
                                     std::uint16_t rr = 0) {
        client_.send(client_port_, request_datagram(type, device, payload, rr));
        return client_.receive_all(1500);
    }

    // No answer to any request about the device: its gate is closed.
    void expect_gate_closed(std::uint16_t device, const char *when) {
        EXPECT_TRUE(request(GET_STATUS, device).empty()) << when;
        EXPECT_TRUE(request(GET_IDENTIF, device).empty()) << when;
        EXPECT_TRUE(request(GET_DEVDATA, device).empty()) << when;
    }

    // One object of the simulator, read with the SNMP layer's own session.
    static std::string read_back(const char *community, const char *oid) {
        return read_simulator_value(ups_address(), community, oid);
    }

    AgentProcess agent_;
    ProtocolClient client_;
    std::uint16_t client_port_ = 0;

  private:
    // Each test of a count reads the whole output again.
    static constexpr std::chrono::milliseconds kCountInterval{50};
};

// Little-endian numbers and texts of a datagram.
inline unsigned word_at(const std::string &datagram, std::size_t offset) {
    return static_cast<unsigned char>(datagram.at(offset)) |
           static_cast<unsigned char>(datagram.at(offset + 1)) << 8;
}
inline unsigned byte_at(const std::string &datagram, std::size_t offset) {
    return static_cast<unsigned char>(datagram.at(offset));
}
// The text of a field of the given width, up to its first NUL.
inline std::string text_at(const std::string &datagram, std::size_t offset, std::size_t width) {
    const std::string field = datagram.substr(offset, width);
    return field.substr(0, field.find('\0'));
}

} // namespace osktest
