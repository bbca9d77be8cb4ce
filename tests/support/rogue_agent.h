// A broken or hostile SNMP version 1 agent for the tests, on a leased
// loopback address at port 161, run on a thread of the test process. It
// reads the PDU type, request id and the bindings' OIDs of every request
// (BER taken apart by hand) and sends back whatever the test's responder
// makes of it: answers for other objects, with more or fewer bindings or
// with another request id, several answers or none. Told to, it also
// floods the source of a request with large responses whose request id no
// request has, as a device gone wild on the network would.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/snmpsim_fixture.h"

namespace osktest {

// BER tags of the PDUs and values the rogue speaks.
constexpr unsigned char k_ber_integer = 0x02;
constexpr unsigned char k_ber_octets = 0x04;
constexpr unsigned char k_ber_null = 0x05;
constexpr unsigned char k_ber_timeticks = 0x43;
constexpr unsigned char k_pdu_get = 0xA0;
constexpr unsigned char k_pdu_get_next = 0xA1;
constexpr unsigned char k_pdu_set = 0xA3;

struct RogueRequest {
    unsigned char type = 0; // k_pdu_get, k_pdu_get_next or k_pdu_set
    long request_id = 0;
    std::vector<std::string> oids; // dotted, one per binding
    int index = 0;                 // 0 for the first request the agent took
};

struct RogueBinding {
    std::string oid; // dotted
    unsigned char type = k_ber_null;
    long number = 0;   // k_ber_integer, k_ber_timeticks
    std::string bytes; // k_ber_octets
};

RogueBinding rogue_integer(const std::string &oid, long value);
RogueBinding rogue_timeticks(const std::string &oid, long value);
RogueBinding rogue_text(const std::string &oid, const std::string &text);

struct RogueAnswer {
    // Added to the request's id: 0 answers the request itself.
    long request_id_shift = 0;
    long error_status = 0;
    std::vector<RogueBinding> bindings;
};

// The answers to one request, sent in order; none for silence. Called on
// the agent's thread only, so it may keep state of its own.
using RogueResponder = std::function<std::vector<RogueAnswer>(const RogueRequest &)>;

class RogueAgent {
  public:
    RogueAgent() = default;
    ~RogueAgent() { stop(); }
    RogueAgent(const RogueAgent &) = delete;
    RogueAgent &operator=(const RogueAgent &) = delete;

    // Leases an address, binds its port 161 and starts answering. False,
    // with the reason in error, when no address can be had.
    bool start(RogueResponder responder, std::string &error);
    void stop();
    // "127.0.0.x" once started.
    const char *address() const { return lease_.address(); }

    // The next request that arrives starts a flood towards its source
    // address and port, from port 161: per_second responses of about
    // bytes bytes each, for the duration, none of them with a request id
    // that any request had. The request is still given to the responder.
    void flood_next_source(std::size_t bytes, int per_second, std::chrono::milliseconds duration);

    // Requests taken, and flood datagrams sent so far.
    int requests() const { return requests_; }
    int flooded() const { return flooded_; }

  private:
    void run(int fd);

    LoopbackLease lease_;
    std::thread thread_;
    int wake_fd_[2] = {-1, -1};
    RogueResponder responder_;

    std::mutex flood_mutex_;
    bool flood_armed_ = false;
    std::size_t flood_bytes_ = 0;
    int flood_per_second_ = 0;
    std::chrono::milliseconds flood_duration_{0};

    std::atomic<int> requests_{0};
    std::atomic<int> flooded_{0};
};

} // namespace osktest
