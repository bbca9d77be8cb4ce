// The protocol tests' fixture: the agent's port open on loopback, a device
// table of records filled by the test, and a client socket that sends real
// datagrams and collects the answers of one network tick.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/agent_port.h"
#include "server/network_receive.h"
#include "shared/debug_log.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/pending_commands.h"
#include "shared/text_field.h"
#include "tests/support/console_capture.h"
#include "tests/support/protocol_client.h"

class AgentFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { port_ = open_agent_port_for_test(); }

    void SetUp() override {
        ASSERT_NE(port_, 0);
        k_monitor = 0;
        k_monitor1 = 0;
        k_errorlog = 0;
        bDebug = 0;
        bDebugLog = 0;
        INI.System.PasswordProtection = 0;
        INI.System.IgnoreRemoteUPSCommands = 0;
        for (int slot = 0; slot < device_slots; ++slot) {
            std::memset(&records_[slot], 0, sizeof(TDevice));
            SM_DEV[slot] = &records_[slot];
            set_ready_status(static_cast<std::uint16_t>(slot), 0);
        }
        pending_commands_clear();
        drain_agent();
    }

    void TearDown() override {
        bDebug = 0;
        drain_agent();
        for (int slot = 0; slot < device_slots; ++slot)
            SM_DEV[slot] = nullptr;
    }

    // Console output on, the communication log written, and the protocol
    // trace at the level; console_ collects what is written from now on.
    void trace(std::uint8_t level) {
        console_.clear();
        bDebug = 1;
        k_monitor = 1;
        k_monitor1 = level;
    }

    // A slot in use, communicating unless told otherwise.
    TDevice &add_device(int slot, const char *name, std::uint16_t device,
                        std::uint8_t connection = AGSNMP, std::uint8_t type = 5, int ready = 1) {
        TDevice &r = records_[slot];
        fill_text_field(r.Name, name);
        r.Device = device;
        r.Connection = connection;
        r.DeviceType = type;
        set_ready_status(static_cast<std::uint16_t>(slot), ready);
        return r;
    }

    // Sends the datagrams, runs one network tick and returns the answers.
    // Loopback delivers a datagram before its send returns, so the answers
    // of the tick are waiting when it ends; the wait is only a margin.
    std::vector<std::string> exchange(const std::vector<std::string> &datagrams, int wait_ms = 50) {
        for (const std::string &d : datagrams)
            client_.send(port_, d);
        NetworkComm();
        return client_.receive_all(wait_ms);
    }
    std::vector<std::string> exchange(const std::string &datagram, int wait_ms = 50) {
        return exchange(std::vector<std::string>{datagram}, wait_ms);
    }

    // Takes whatever still waits at the agent's port, unanswered.
    static void drain_agent() {
        for (int i = 0; i < 1000 && udp_receive(pasive_udp_socket.load(), nullptr) != 1; ++i) {
        }
    }

    static inline std::uint16_t port_ = 0;
    TDevice records_[device_slots];
    ProtocolClient client_;
    ConsoleCapture console_;
};

// The bytes of a text field: the text, then zeros up to the width.
inline std::string field(const char *text, std::size_t width) {
    std::string out(text, std::strlen(text) < width ? std::strlen(text) : width);
    out.resize(width, '\0');
    return out;
}

inline std::string le16(std::uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

inline std::string le32(std::uint32_t value) {
    return le16(static_cast<std::uint16_t>(value & 0xFFFF)) +
           le16(static_cast<std::uint16_t>(value >> 16));
}

// A response header in wire order.
inline std::string response_header(std::uint16_t ident, std::uint16_t dev, std::uint32_t size,
                                   std::uint16_t password = 0) {
    return le16(ident) + le16(dev) + le16(0) + le16(1) + le32(size) + le16(password) + le16(1);
}
